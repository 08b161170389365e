# tessel_component_library(name DEPS ...): a static library of one subsystem folder, made of its
# portable sources and the _win32 or _posix half of each platform pair.
function(tessel_component_library name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    if(WIN32)
        set(platform_suffix win32)
    else()
        set(platform_suffix posix)
    endif()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    list(FILTER sources EXCLUDE REGEX "_(win32|posix)\\.cpp$")
    file(GLOB platform_sources CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/*_${platform_suffix}.cpp)
    if(sources OR platform_sources)
        add_library(${name} STATIC ${sources} ${platform_sources})
        target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE tessel_warnings)
    else()
        # Headers only, so far.
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
endfunction()
