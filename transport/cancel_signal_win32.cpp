#include <windows.h>

#include <system_error>

#include "transport/cancel_signal.h"

namespace tessel {

cancel_signal::cancel_signal() : signal_end_(0) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "cancel signal");
    }
    handle_ = reinterpret_cast<std::intptr_t>(event);
}

cancel_signal::~cancel_signal() {
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

void cancel_signal::set() {
    const std::lock_guard<std::mutex> lock(change_);
    set_.store(true);
    SetEvent(reinterpret_cast<HANDLE>(handle_));
}

void cancel_signal::reset() {
    const std::lock_guard<std::mutex> lock(change_);
    set_.store(false);
    ResetEvent(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace tessel
