#pragma once
// A thread of the component that may outlive the stop that let it go: one held inside a system
// call that does not return for long (a Bluetooth open, a directory call on a dead network
// share) is let go rather than waited for. While such a thread runs, the component's module
// stays loaded, so that a player that unloads the module after shut-down never takes away code
// the thread still runs.
//
// Windows: the thread holds a reference to the module, taken by the thread that starts it, and
// gives it back as its very last act (FreeLibraryAndExitThread). POSIX: a thread has no way to
// give the module back and end in one step. A thread held in a system call keeps the module
// loaded for the rest of the process once it is let go; one that only waits for the thread
// that let it go to return (a reader inside a hand-off) is joined at the next start or letting
// go after it has ended, and waited for at the module's unload if it has not.

#include <functional>
#include <memory>

namespace tessel {

class module_thread {
  public:
    module_thread() noexcept;
    // Starts the thread; throws std::system_error when it cannot. Whatever the body throws ends
    // the thread quietly: nothing leaves it.
    explicit module_thread(std::function<void()> body);
    module_thread(module_thread&& other) noexcept;
    module_thread& operator=(module_thread&& other) noexcept;
    module_thread(const module_thread&) = delete;
    module_thread& operator=(const module_thread&) = delete;
    // Waits for a thread that was neither joined nor let go.
    ~module_thread();

    bool joinable() const;
    // True when a joinable thread has run to its end, whatever its body marked: Windows ends
    // every other thread without notice as the process exits, before the module's detach runs,
    // so a stop waiting for the body's own mark would never end. POSIX threads are not ended
    // that way: false until joined.
    bool has_ended() const;
    void join();
    // For a thread held in a system call that may not return for long: from now on it ends by
    // itself, and the module stays loaded until it has.
    void let_go();

    // For a thread that ends as soon as the calling thread returns (it waits for it): from now
    // on it ends by itself. Its stack is given back at the next start or letting go of a thread
    // after it has ended; the module's unload waits for it if it has not ended by then.
    void let_go_until_unload();

  private:
    struct native;
    class awaiting_unload;
    struct native_end {
        void operator()(native* thread) const;  // the thread is joined or let go by then
    };
    std::unique_ptr<native, native_end> native_;
};

}  // namespace tessel
