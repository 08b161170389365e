# The Windows x86 (32-bit) build: MinGW-w64 cross compiler, tests under Wine's 32-bit side.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
