// The headless window system: one registry of classes and windows under one lock, and one
// queue of waiting sends per thread that uses it.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "corvina/posix_windows.h"

namespace corvina::posix_windows {
namespace {

using window_id = std::uintptr_t;

struct thread_queue;

// A send waiting for the owner thread; it lives on the sender's stack until done is set.
struct pending_send {
    window_id target;
    std::uint32_t message;
    std::uintptr_t wparam;
    std::intptr_t lparam;
    thread_queue* sender;
    std::intptr_t result = 0;
    bool done = false;
};

struct thread_queue {
    std::deque<pending_send*> sends;
    // Signalled when a send arrives for this thread, when one of its own sends finished, and on
    // wake().
    std::condition_variable signal;
    bool woken = false;
};

struct window_record {
    window_procedure procedure;
    std::string title;
    window_id parent;
    thread_queue* owner;
    bool destroying = false;
};

struct registry {
    std::mutex mutex;
    std::map<std::string, window_procedure> classes;
    std::unordered_map<window_id, window_record> windows;
    std::unordered_map<std::thread::id, thread_queue*> threads;
    window_id next_id = 1;
};

// Never destroyed: threads may still end (and clean up) while statics are torn down.
registry& state() {
    static registry* instance = new registry;
    return *instance;
}

window_id id_of(window_handle window) {
    return reinterpret_cast<window_id>(window);
}
window_handle handle_of(window_id id) {
    return reinterpret_cast<window_handle>(id);
}

void finish(pending_send& send, std::intptr_t result) {
    send.result = result;
    send.done = true;
    send.sender->signal.notify_all();
}

// Fails every send in the queue that waits for the window. Lock held.
void fail_sends_to(thread_queue& queue, window_id target) {
    auto& sends = queue.sends;
    for (auto it = sends.begin(); it != sends.end();) {
        if ((*it)->target == target) {
            finish(**it, 0);
            it = sends.erase(it);
        } else {
            ++it;
        }
    }
}

// A thread's queue, registered on first use. When the thread ends its windows go away and the
// sends waiting for them fail, as when a Win32 thread exits.
class thread_registration {
  public:
    thread_queue& queue() {
        if (!registered_) {
            std::lock_guard lock(state().mutex);
            state().threads[std::this_thread::get_id()] = &queue_;
            registered_ = true;
        }
        return queue_;
    }

    ~thread_registration() {
        if (!registered_) {
            return;
        }
        registry& reg = state();
        std::lock_guard lock(reg.mutex);
        for (auto it = reg.windows.begin(); it != reg.windows.end();) {
            if (it->second.owner == &queue_) {
                it = reg.windows.erase(it);
            } else {
                ++it;
            }
        }
        for (pending_send* send : queue_.sends) {
            finish(*send, 0);
        }
        queue_.sends.clear();
        reg.threads.erase(std::this_thread::get_id());
    }

  private:
    thread_queue queue_;
    bool registered_ = false;
};

thread_queue& this_thread_queue() {
    thread_local thread_registration registration;
    return registration.queue();
}

// Runs the oldest send waiting in the queue. Lock held on entry and on return; released while
// the procedure runs.
void run_one(thread_queue& queue, std::unique_lock<std::mutex>& lock) {
    pending_send* send = queue.sends.front();
    queue.sends.pop_front();
    registry& reg = state();
    const auto it = reg.windows.find(send->target);
    if (it == reg.windows.end()) {
        finish(*send, 0);
        return;
    }
    const window_procedure procedure = it->second.procedure;
    lock.unlock();
    const std::intptr_t result =
        procedure(handle_of(send->target), send->message, send->wparam, send->lparam);
    lock.lock();
    finish(*send, result);
}

std::size_t run_all(thread_queue& queue, std::unique_lock<std::mutex>& lock) {
    std::size_t count = 0;
    while (!queue.sends.empty()) {
        run_one(queue, lock);
        ++count;
    }
    return count;
}

// Removes a window whose procedure must not run again. Lock held.
void remove_window(window_id id) {
    registry& reg = state();
    const auto it = reg.windows.find(id);
    if (it == reg.windows.end()) {
        return;
    }
    thread_queue* owner = it->second.owner;
    reg.windows.erase(it);
    fail_sends_to(*owner, id);
}

}  // namespace

bool register_class(const char* class_name, window_procedure procedure) {
    if (class_name == nullptr || procedure == nullptr) {
        return false;
    }
    std::lock_guard lock(state().mutex);
    return state().classes.emplace(class_name, procedure).second;
}

bool unregister_class(const char* class_name) {
    if (class_name == nullptr) {
        return false;
    }
    std::lock_guard lock(state().mutex);
    return state().classes.erase(class_name) == 1;
}

window_handle create_window(const char* class_name, const char* title, window_handle parent,
                            void* param) {
    if (class_name == nullptr) {
        return nullptr;
    }
    thread_queue& self = this_thread_queue();
    registry& reg = state();
    std::unique_lock lock(reg.mutex);
    const auto cls = reg.classes.find(class_name);
    if (cls == reg.classes.end()) {
        return nullptr;
    }
    if (parent == win32_values::message_only_parent()) {
        parent = nullptr;
    }
    if (parent != nullptr && reg.windows.count(id_of(parent)) == 0) {
        return nullptr;
    }
    const window_id id = reg.next_id++;
    const window_procedure procedure = cls->second;
    reg.windows.emplace(
        id, window_record{procedure, title != nullptr ? title : "", id_of(parent), &self});
    lock.unlock();
    const std::intptr_t answer =
        procedure(handle_of(id), message_create, 0, reinterpret_cast<std::intptr_t>(param));
    if (answer == -1) {
        lock.lock();
        remove_window(id);
        return nullptr;
    }
    return handle_of(id);
}

std::intptr_t send_message(window_handle window, std::uint32_t message, std::uintptr_t wparam,
                           std::intptr_t lparam) {
    thread_queue& self = this_thread_queue();
    registry& reg = state();
    std::unique_lock lock(reg.mutex);
    const auto it = reg.windows.find(id_of(window));
    if (it == reg.windows.end()) {
        return 0;
    }
    if (it->second.owner == &self) {
        const window_procedure procedure = it->second.procedure;
        lock.unlock();
        return procedure(window, message, wparam, lparam);
    }
    pending_send send{id_of(window), message, wparam, lparam, &self};
    it->second.owner->sends.push_back(&send);
    it->second.owner->signal.notify_all();
    while (!send.done) {
        // Serve sends to this thread's own windows meanwhile, as a Win32 sender does.
        if (!self.sends.empty()) {
            run_one(self, lock);
            continue;
        }
        self.signal.wait(lock);
    }
    return send.result;
}

bool destroy_window(window_handle window) {
    thread_queue& self = this_thread_queue();
    registry& reg = state();
    std::unique_lock lock(reg.mutex);
    const window_id id = id_of(window);
    const auto it = reg.windows.find(id);
    if (it == reg.windows.end() || it->second.owner != &self || it->second.destroying) {
        return false;
    }
    it->second.destroying = true;
    const window_procedure procedure = it->second.procedure;
    lock.unlock();
    procedure(window, message_destroy, 0, 0);

    lock.lock();
    std::vector<window_id> children;
    for (const auto& [child, record] : reg.windows) {
        if (record.parent == id && record.owner == &self) {
            children.push_back(child);
        }
    }
    lock.unlock();
    for (const window_id child : children) {
        destroy_window(handle_of(child));
    }

    lock.lock();
    remove_window(id);
    return true;
}

bool is_window(window_handle window) {
    std::lock_guard lock(state().mutex);
    return state().windows.count(id_of(window)) == 1;
}

window_handle get_parent(window_handle window) {
    std::lock_guard lock(state().mutex);
    const auto it = state().windows.find(id_of(window));
    return it == state().windows.end() ? nullptr : handle_of(it->second.parent);
}

bool get_window_title(window_handle window, string_base& out) {
    std::string title;
    {
        std::lock_guard lock(state().mutex);
        const auto it = state().windows.find(id_of(window));
        if (it == state().windows.end()) {
            out.set_string("");
            return false;
        }
        title = it->second.title;
    }
    out.set_string(title.c_str(), title.size());
    return true;
}

std::intptr_t default_procedure(window_handle /*window*/, std::uint32_t /*message*/,
                                std::uintptr_t /*wparam*/, std::intptr_t /*lparam*/) {
    return 0;
}

std::size_t pump() {
    thread_queue& self = this_thread_queue();
    std::unique_lock lock(state().mutex);
    return run_all(self, lock);
}

std::size_t pump_wait(std::uint32_t timeout_ms) {
    thread_queue& self = this_thread_queue();
    std::unique_lock lock(state().mutex);
    self.signal.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                         [&] { return !self.sends.empty() || self.woken; });
    self.woken = false;
    return run_all(self, lock);
}

void wake(std::thread::id thread) {
    registry& reg = state();
    std::lock_guard lock(reg.mutex);
    const auto it = reg.threads.find(thread);
    if (it != reg.threads.end()) {
        it->second->woken = true;
        it->second->signal.notify_all();
    }
}

}  // namespace corvina::posix_windows
