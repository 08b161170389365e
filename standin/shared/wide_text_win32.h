#pragma once
// UTF-8 to UTF-16 and back for the wrapper library's Win32 sources.

#include <windows.h>

#include <string>

#include "corvina/string_receiver.h"
#include "support/utf8.h"

namespace corvina::wide_text {

// For paths and other names that look something up: false for text that is not UTF-8, since a
// replaced character would name something else. A null text converts to an empty one.
inline bool from_utf8(const char* text, std::wstring& out) {
    out.clear();
    if (text == nullptr || *text == '\0') {
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

// For text shown to the user, which is never refused: bytes that are not UTF-8 become U+FFFD.
// They are replaced here, since the system's lenient conversion drops them on some versions.
inline std::wstring display_from_utf8(const char* text) {
    std::wstring out;
    if (text != nullptr) {
        from_utf8(tessel::utf8_replace_invalid(text).c_str(), out);
    }
    return out;
}

// Stores the UTF-8 form of count UTF-16 units in out.
inline void to_utf8(const wchar_t* text, std::size_t count, string_base& out) {
    if (count == 0) {
        out.set_string("");
        return;
    }
    const int wide_count = static_cast<int>(count);
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text, wide_count, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text, wide_count, utf8.data(), length, nullptr, nullptr);
    }
    out.set_string(utf8.data(), utf8.size());
}

// The window's whole text in UTF-8.
inline void window_text(HWND window, string_base& out) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    to_utf8(text.data(), static_cast<std::size_t>(copied > 0 ? copied : 0), out);
}

}  // namespace corvina::wide_text
