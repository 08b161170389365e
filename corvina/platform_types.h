#pragma once
// Handles that cross the player's interfaces. They are opaque here so that no header needs
// <windows.h>; Win32 sources convert them to HWND / HINSTANCE / HANDLE.

#include <cstddef>
#include <cstdint>

namespace corvina {

using window_handle = void*;
using module_handle = void*;

// A file handle: the Win32 HANDLE value on Windows, a file descriptor on POSIX.
// -1 is INVALID_HANDLE_VALUE on Windows and no descriptor on POSIX.
using file_handle = std::intptr_t;
inline constexpr file_handle invalid_file_handle = -1;

// "No index" as the player reports it (the -1 of its size_t results).
inline constexpr std::size_t no_index = static_cast<std::size_t>(-1);

}  // namespace corvina
