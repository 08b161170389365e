// uCreateWindowEx over CreateWindowExW.

#include <windows.h>

#include <string>

#include "standin/shared/corvina_shared.h"
#include "standin/shared/wide_text_win32.h"

corvina::window_handle uCreateWindowEx(std::uint32_t ex_style, const char* class_name,
                                       const char* window_name, std::uint32_t style, int x, int y,
                                       int width, int height, corvina::window_handle parent,
                                       void* menu, corvina::module_handle instance, void* param) {
    std::wstring wide_class;
    std::wstring wide_title;
    if (class_name == nullptr || !corvina::wide_text::from_utf8(class_name, wide_class) ||
        !corvina::wide_text::from_utf8(window_name, wide_title)) {
        return nullptr;
    }
    return CreateWindowExW(ex_style, wide_class.c_str(),
                           window_name != nullptr ? wide_title.c_str() : nullptr, style, x, y,
                           width, height, static_cast<HWND>(parent), static_cast<HMENU>(menu),
                           static_cast<HINSTANCE>(instance), param);
}
