#pragma once
// The few Windows functions the conformance host calls, declared here because it is built
// without any SDK headers.

#include <cstddef>
#include <cstdint>

#define HOST_WINAPI __stdcall

extern "C" {
__declspec(dllimport) void HOST_WINAPI ExitProcess(unsigned int code);
__declspec(dllimport) int HOST_WINAPI FreeLibrary(void* module);
__declspec(dllimport) wchar_t* HOST_WINAPI GetCommandLineW();
__declspec(dllimport) unsigned long HOST_WINAPI GetCurrentThreadId();
__declspec(dllimport) void* HOST_WINAPI GetModuleHandleW(const wchar_t* name);
__declspec(dllimport) void* HOST_WINAPI GetProcAddress(void* module, const char* name);
__declspec(dllimport) void* HOST_WINAPI GetStdHandle(unsigned long which);
__declspec(dllimport) void* HOST_WINAPI LoadLibraryW(const wchar_t* name);
__declspec(dllimport) int HOST_WINAPI WriteFile(void* file, const void* data, unsigned long size,
                                                unsigned long* written, void* overlapped);

__declspec(dllimport) void* HOST_WINAPI
    CreateWindowExW(unsigned long ex_style, const wchar_t* class_name, const wchar_t* title,
                    unsigned long style, int x, int y, int width, int height, void* parent,
                    void* menu, void* instance, void* param);
__declspec(dllimport) int HOST_WINAPI DestroyWindow(void* window);
__declspec(dllimport) void* HOST_WINAPI GetDlgItem(void* dialog, int id);
__declspec(dllimport) unsigned int HOST_WINAPI
    GetDlgItemTextA(void* dialog, int id, char* text, int size);
__declspec(dllimport) int HOST_WINAPI IsWindow(void* window);
__declspec(dllimport) std::intptr_t HOST_WINAPI
    SendMessageW(void* window, unsigned int message, std::uintptr_t wparam, std::intptr_t lparam);
}

namespace win32 {
inline constexpr unsigned long std_output_handle = static_cast<unsigned long>(-11);
inline constexpr unsigned long ws_overlappedwindow = 0x00CF0000;
inline constexpr unsigned int wm_command = 0x0111;
}  // namespace win32
