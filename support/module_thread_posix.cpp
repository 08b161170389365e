#include <dlfcn.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "support/module_thread.h"

namespace tessel {

struct module_thread::native {
    // Set by the thread as its last act. Shared, since a thread that was let go outlives its
    // record.
    std::shared_ptr<std::atomic<bool>> ended = std::make_shared<std::atomic<bool>>(false);
    std::thread thread;
    native* next_awaiting_unload = nullptr;
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

// Threads let go until the module is unloaded. Kept in a list through their own records, so
// that letting one go needs no memory. The ones that have ended are joined at the next start
// or letting go, so that their stacks do not pile up; the rest when this module's statics are
// destroyed (at its unload, or at the process's end), while its code is still there.
class module_thread::awaiting_unload {
  public:
    awaiting_unload() = default;
    awaiting_unload(const awaiting_unload&) = delete;
    awaiting_unload& operator=(const awaiting_unload&) = delete;
    ~awaiting_unload() {
        while (native* thread = first_) {
            first_ = thread->next_awaiting_unload;
            thread->thread.join();
            delete thread;
        }
    }

    void add(native* thread) {
        const std::lock_guard<std::mutex> lock(mutex_);
        join_ended();
        thread->next_awaiting_unload = first_;
        first_ = thread;
    }

    // Joins the threads that have ended by now: each has only its return left to run.
    void collect_ended() {
        const std::lock_guard<std::mutex> lock(mutex_);
        join_ended();
    }

    static awaiting_unload& threads() {
        static awaiting_unload awaiting;
        return awaiting;
    }

  private:
    void join_ended() {
        native** link = &first_;
        while (native* thread = *link) {
            if (thread->ended->load(std::memory_order_acquire)) {
                *link = thread->next_awaiting_unload;
                thread->thread.join();
                delete thread;
            } else {
                link = &thread->next_awaiting_unload;
            }
        }
    }

    std::mutex mutex_;
    native* first_ = nullptr;
};

module_thread::module_thread(std::function<void()> body) {
    awaiting_unload::threads().collect_ended();
    auto record = std::make_unique<native>();
    record->thread = std::thread([body = std::move(body), ended = record->ended] {
        try {
            body();
        } catch (...) {
        }
        ended->store(true, std::memory_order_release);
    });
    native_.reset(record.release());
}

void module_thread::native_end::operator()(native* thread) const {
    delete thread;
}

bool module_thread::has_ended() const {
    return false;
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
    awaiting_unload::threads().add(native_.release());
}

}  // namespace tessel
