#include <windows.h>

#include "tests/preferences/page_fixture.h"

namespace tessel::test {

parent_window::parent_window() {
    handle_ = CreateWindowExW(0, L"Static", L"Preferences", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

parent_window::~parent_window() {
    DestroyWindow(static_cast<HWND>(handle_));
}

corvina::module_handle resource_module() {
    return GetModuleHandleW(nullptr);
}

}  // namespace tessel::test
