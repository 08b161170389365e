#include "support/module_thread.h"

#include <utility>

namespace tessel {

module_thread::module_thread() noexcept = default;

module_thread::module_thread(module_thread&& other) noexcept = default;

module_thread& module_thread::operator=(module_thread&& other) noexcept {
    if (this != &other) {
        if (joinable()) {
            join();
        }
        native_ = std::move(other.native_);
    }
    return *this;
}

module_thread::~module_thread() {
    if (joinable()) {
        join();
    }
}

bool module_thread::joinable() const {
    return native_ != nullptr;
}

}  // namespace tessel
