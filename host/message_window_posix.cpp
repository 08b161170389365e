#include "host/message_window.h"

#include "corvina/posix_windows.h"

namespace tessel {

namespace windows = corvina::posix_windows;

bool register_window_class(const char* name, window_procedure procedure,
                           corvina::module_handle /*instance*/) {
    return windows::register_class(name, procedure);
}

void unregister_window_class(const char* name, corvina::module_handle /*instance*/) {
    windows::unregister_class(name);
}

std::intptr_t send_window_message(corvina::window_handle window, std::uint32_t message,
                                  std::uintptr_t wparam, std::intptr_t lparam) {
    return window == nullptr ? 0 : windows::send_message(window, message, wparam, lparam);
}

void destroy_window(corvina::window_handle window) {
    if (window != nullptr) {
        windows::destroy_window(window);
    }
}

std::intptr_t default_window_procedure(corvina::window_handle window, std::uint32_t message,
                                       std::uintptr_t wparam, std::intptr_t lparam) {
    return windows::default_procedure(window, message, wparam, lparam);
}

void wait_serving_sent_messages(const std::function<bool()>& done) {
    while (!done()) {
        windows::pump_wait(20);
    }
}

}  // namespace tessel
