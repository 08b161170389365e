# Sanitizer builds instrument every target of the tree, the test framework included.
# A fuzzing build instruments the whole tree for the sanitizers and for the fuzzer's coverage;
# only the fuzz targets themselves link the fuzzer's driver.
if(TESSEL_BUILD_FUZZ)
    set(TESSEL_SANITIZE address)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
if(TESSEL_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(TESSEL_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT TESSEL_SANITIZE STREQUAL "")
    message(FATAL_ERROR "TESSEL_SANITIZE must be empty, address or thread")
endif()
