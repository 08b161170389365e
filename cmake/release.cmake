# The version resource every Windows build carries, and what a release build adds: no build
# paths and no link time in the binaries, and each shipped binary split into a stripped copy
# and its debug information.

# tessel_version_resource(target FILE_NAME name DESCRIPTION text INTERNAL_NAME name): a
# VERSIONINFO resource with the project's version, so that Windows' file properties show it.
function(tessel_version_resource target)
    cmake_parse_arguments(ARG "" "FILE_NAME;DESCRIPTION;INTERNAL_NAME" "" ${ARGN})
    if(NOT WIN32)
        return()
    endif()
    set(parts ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR} ${PROJECT_VERSION_PATCH}
              ${PROJECT_VERSION_TWEAK})
    list(TRANSFORM parts REPLACE "^$" "0")
    list(JOIN parts "," version_commas)
    if(ARG_FILE_NAME MATCHES "\\.dll$")
        set(file_type VFT_DLL)
    else()
        set(file_type VFT_APP)
    endif()
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version_resource.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()

option(TESSEL_RELEASE "Build for release: reproducible binaries, debug information split off" OFF)

if(TESSEL_RELEASE)
    # The same bytes from any checkout folder: paths in debug information, __FILE__ and
    # assertion texts name the source folder /tessel_link (for a debugger: set substitute-path
    # /tessel_link <checkout>). The build folders are inside it.
    add_compile_options(
        $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=/tessel_link>)
    if(WIN32)
        # The PE header's time stamp would differ between any two links.
        add_link_options(LINKER:--no-insert-timestamp)
    endif()
    if(NOT CMAKE_OBJCOPY)
        message(FATAL_ERROR "A release build needs objcopy to split off the debug information")
    endif()
endif()

# tessel_release_binary(target): in a release build, the target's stripped copy in
# <build>/release/, with its debug information beside it in a .debug file that the stripped copy
# names (a debugger given both reads a crash address a user reports).
function(tessel_release_binary target)
    if(NOT TESSEL_RELEASE)
        return()
    endif()
    set(folder ${PROJECT_BINARY_DIR}/release)
    set(file ${folder}/$<TARGET_FILE_NAME:${target}>)
    add_custom_command(
        OUTPUT ${folder}/${target}.stamp
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        # objcopy stamps a PE file it writes with the time unless SOURCE_DATE_EPOCH says
        # otherwise; 0 is what the linker's --no-insert-timestamp leaves, no time stamp.
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
                ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${file}.debug
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${file}.debug
                $<TARGET_FILE:${target}> ${file}
        COMMAND ${CMAKE_COMMAND} -E touch ${folder}/${target}.stamp
        DEPENDS ${target}
        COMMENT "Splitting ${target} into a stripped copy and its debug information"
        VERBATIM)
    add_custom_target(${target}_release ALL DEPENDS ${folder}/${target}.stamp)
endfunction()
