#include <dlfcn.h>

#include <thread>
#include <utility>

#include "support/module_thread.h"

namespace tessel {

struct module_thread::native {
    std::thread thread;
};

namespace {

// Marks the module that holds this code as never to be unloaded. Asked of the dynamic linker
// by the module's own file name, so it finds the module already loaded and adds no reference.
void keep_module_loaded() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&keep_module_loaded), &info) == 0 ||
        info.dli_fname == nullptr) {
        return;
    }
    // The handle is deliberately not closed: the module must stay.
    dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace

module_thread::module_thread(std::function<void()> body)
    : native_(std::make_unique<native>(native{std::thread([body = std::move(body)] {
          try {
              body();
          } catch (...) {
          }
      })})) {}

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

void module_thread::join() {
    native_->thread.join();
    native_.reset();
}

void module_thread::let_go() {
    keep_module_loaded();
    native_->thread.detach();
    native_.reset();
}

}  // namespace tessel
