// uCreateWindowEx over CreateWindowExW.

#include <windows.h>

#include <string>

#include "standin/shared/corvina_shared.h"

namespace {

// False for text that is not UTF-8.
bool utf8_to_wide(const char* text, std::wstring& out) {
    out.clear();
    if (text == nullptr) {
        return true;
    }
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    out.resize(static_cast<std::size_t>(length));
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, out.data(), length) !=
        length) {
        return false;
    }
    out.resize(static_cast<std::size_t>(length - 1));
    return true;
}

}  // namespace

corvina::window_handle uCreateWindowEx(std::uint32_t ex_style, const char* class_name,
                                       const char* window_name, std::uint32_t style, int x, int y,
                                       int width, int height, corvina::window_handle parent,
                                       void* menu, corvina::module_handle instance, void* param) {
    std::wstring wide_class;
    std::wstring wide_title;
    if (class_name == nullptr || !utf8_to_wide(class_name, wide_class) ||
        !utf8_to_wide(window_name, wide_title)) {
        return nullptr;
    }
    return CreateWindowExW(ex_style, wide_class.c_str(),
                           window_name != nullptr ? wide_title.c_str() : nullptr, style, x, y,
                           width, height, static_cast<HWND>(parent), static_cast<HMENU>(menu),
                           static_cast<HINSTANCE>(instance), param);
}
