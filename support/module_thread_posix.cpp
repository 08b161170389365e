#include <dlfcn.h>

#include <algorithm>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

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

// Threads let go until the module is unloaded: joined when this module's statics are
// destroyed (at its unload, or at the process's end), while its code is still there.
class awaiting_unload {
  public:
    awaiting_unload() = default;
    awaiting_unload(const awaiting_unload&) = delete;
    awaiting_unload& operator=(const awaiting_unload&) = delete;
    ~awaiting_unload() {
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }

    // Takes the thread, or throws and leaves it where it was.
    void add(std::thread& thread) {
        const std::lock_guard<std::mutex> lock(mutex_);
        threads_.reserve(threads_.size() + 1);
        threads_.push_back(std::move(thread));
    }

  private:
    std::mutex mutex_;
    std::vector<std::thread> threads_;
};

awaiting_unload& threads_awaiting_unload() {
    static awaiting_unload threads;
    return threads;
}

}  // namespace

module_thread::module_thread(std::function<void()> body)
    : native_(new native{std::thread([body = std::move(body)] {
          try {
              body();
          } catch (...) {
          }
      })}) {}

void module_thread::native_end::operator()(native* thread) const {
    delete thread;
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

void module_thread::let_go_until_unload() {
    awaiting_unload& awaiting = threads_awaiting_unload();
    try {
        awaiting.add(native_->thread);
    } catch (...) {
        let_go();  // no room to remember it: the module stays instead
        return;
    }
    native_.reset();
}

}  // namespace tessel
