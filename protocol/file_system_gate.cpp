#include "protocol/file_system_gate.h"

namespace tessel {

bool file_system_gate::enter_call() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_.load()) {
        return false;
    }
    in_call_ = true;
    return true;
}

bool file_system_gate::leave_call() {
    const std::lock_guard<std::mutex> lock(mutex_);
    in_call_ = false;
    return !stopping_.load();
}

void file_system_gate::mark_ended() {
    const std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
}

void file_system_gate::request_stop() {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_.store(true);
}

bool file_system_gate::can_be_let_go() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return ended_ || in_call_;
}

bool file_system_gate::has_ended() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return ended_;
}

}  // namespace tessel
