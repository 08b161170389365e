// uCreateWindowEx over CreateWindowExW.

#include <windows.h>

#include <string>

#include "corvina/shared.h"
#include "standin/shared/wide_text_win32.h"

corvina::window_handle uCreateWindowEx(std::uint32_t ex_style, const char* class_name,
                                       const char* window_name, std::uint32_t style, int x, int y,
                                       int width, int height, corvina::window_handle parent,
                                       void* menu, corvina::module_handle instance, void* param) {
    // The class name looks a class up; the window name is a caption the user sees.
    std::wstring wide_class;
    if (class_name == nullptr || !corvina::wide_text::from_utf8(class_name, wide_class)) {
        return nullptr;
    }
    const std::wstring wide_title = corvina::wide_text::display_from_utf8(window_name);
    return CreateWindowExW(ex_style, wide_class.c_str(),
                           window_name != nullptr ? wide_title.c_str() : nullptr, style, x, y,
                           width, height, static_cast<HWND>(parent), static_cast<HMENU>(menu),
                           static_cast<HINSTANCE>(instance), param);
}
