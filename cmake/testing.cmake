# GoogleTest is built from Debian's sources so that the same framework serves the native,
# sanitizer and MinGW builds, each compiled with its own flags.
function(tessel_use_googletest)
    if(TARGET GTest::gtest_main)
        return()
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    if(NOT TARGET GTest::gtest_main)
        add_library(GTest::gtest ALIAS gtest)
        add_library(GTest::gtest_main ALIAS gtest_main)
        add_library(GTest::gmock ALIAS gmock)
    endif()
endfunction()

# Registers a GoogleTest program. Natively each test case is its own CTest test; under Wine
# each program start costs a second or more, so there the whole program is one test.
# LABELS: "serial" for tests that need a pseudo-terminal, "threads" for the ThreadSanitizer run.
function(tessel_add_gtest target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT ARG_LABELS)
        set(ARG_LABELS unit)
    endif()
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} tessel_warnings GTest::gtest_main
                                            GTest::gmock)
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${target} COMMAND ${target})
        set_tests_properties(${target} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 300)
    else()
        include(GoogleTest)
        # The property list is flattened on its way to each test: escape a list of labels.
        string(REPLACE ";" "\\;" labels "${ARG_LABELS}")
        gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
                             PROPERTIES LABELS "${labels}" TIMEOUT 120)
    endif()
endfunction()
