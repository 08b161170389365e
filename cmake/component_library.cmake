# tessel_platform_sources(out_var [EXCLUDE regex]): the current folder's portable sources plus
# the _win32 or _posix half of each platform pair.
function(tessel_platform_sources out_var)
    cmake_parse_arguments(ARG "" "EXCLUDE" "" ${ARGN})
    if(WIN32)
        set(platform_suffix win32)
    else()
        set(platform_suffix posix)
    endif()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    list(FILTER sources EXCLUDE REGEX "_(win32|posix)\\.cpp$")
    file(GLOB platform_sources CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/*_${platform_suffix}.cpp)
    set(all ${sources} ${platform_sources})
    if(ARG_EXCLUDE)
        list(FILTER all EXCLUDE REGEX "${ARG_EXCLUDE}")
    endif()
    set(${out_var} ${all} PARENT_SCOPE)
endfunction()

# tessel_component_library(name DEPS ...): a static library of one subsystem folder.
function(tessel_component_library name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    tessel_platform_sources(sources)
    if(sources)
        add_library(${name} STATIC ${sources})
        target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE tessel_warnings)
    else()
        # Headers only, so far.
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
endfunction()
