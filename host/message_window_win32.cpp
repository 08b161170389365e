#include <windows.h>

#include <string>

#include "host/message_window.h"

namespace tessel {

namespace {

std::wstring widen(const char* text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<std::size_t>(length) : 1, L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    }
    wide.resize(wide.size() - 1);
    return wide;
}

}  // namespace

bool register_window_class(const char* name, window_procedure procedure,
                           corvina::module_handle instance) {
    const std::wstring class_name = widen(name);
    WNDCLASSW window_class{};
    // Same signature and calling convention as WNDPROC.
    window_class.lpfnWndProc = reinterpret_cast<WNDPROC>(procedure);
    window_class.hInstance = static_cast<HINSTANCE>(instance);
    window_class.lpszClassName = class_name.c_str();
    return RegisterClassW(&window_class) != 0;
}

void unregister_window_class(const char* name, corvina::module_handle instance) {
    UnregisterClassW(widen(name).c_str(), static_cast<HINSTANCE>(instance));
}

std::intptr_t send_window_message(corvina::window_handle window, std::uint32_t message,
                                  std::uintptr_t wparam, std::intptr_t lparam) {
    // A destroyed window fails the send at once, also one destroyed while the send waits.
    return window == nullptr ? 0 : SendMessageW(static_cast<HWND>(window), message, wparam, lparam);
}

void destroy_window(corvina::window_handle window) {
    if (window != nullptr) {
        DestroyWindow(static_cast<HWND>(window));
    }
}

std::intptr_t default_window_procedure(corvina::window_handle window, std::uint32_t message,
                                       std::uintptr_t wparam, std::intptr_t lparam) {
    return DefWindowProcW(static_cast<HWND>(window), message, wparam, lparam);
}

void wait_serving_sent_messages(const std::function<bool()>& done) {
    while (!done()) {
        // Wakes for sent messages only; posted ones stay for the player's own loop.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_SENDMESSAGE);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace tessel
