#pragma once
// A thread of the component that may outlive the stop that let it go: one held inside a system
// call that does not return for long (a Bluetooth open, a directory call on a dead network
// share) is let go rather than waited for. While such a thread runs, the component's module
// stays loaded, so that a player that unloads the module after shut-down never takes away code
// the thread still runs.
//
// Windows: the thread holds a reference to the module, taken by the thread that starts it, and
// gives it back as its very last act (FreeLibraryAndExitThread). POSIX: a thread has no way to
// give the module back and end in one step, so letting one go keeps the module loaded for the
// rest of the process.

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
    void join();
    // From now on the thread ends by itself; the module stays loaded until it has.
    void let_go();

  private:
    struct native;
    std::unique_ptr<native> native_;
};

}  // namespace tessel
