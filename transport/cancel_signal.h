#pragma once
// A signal that ends the port's waits at once. Set by the thread that wants them over, it stays
// set, so every read or write that starts later ends at once too, until it is reset. POSIX: the
// read end of a pipe, waited on beside the port in poll. Windows: a manual-reset event, waited on
// beside the overlapped operation's own event.

#include <atomic>
#include <cstdint>
#include <mutex>

namespace tessel {

class cancel_signal {
  public:
    cancel_signal();
    cancel_signal(const cancel_signal&) = delete;
    cancel_signal& operator=(const cancel_signal&) = delete;
    ~cancel_signal();

    // Safe from any thread.
    void set();
    void reset();
    bool is_set() const { return set_.load(); }

    // What a wait watches: a file descriptor on POSIX, an event handle on Windows.
    std::intptr_t wait_handle() const { return handle_; }

  private:
    std::mutex change_;  // set and reset in turn, so the flag and the handle agree
    std::atomic<bool> set_{false};
    std::intptr_t handle_;
    std::intptr_t signal_end_;  // POSIX: the pipe's write end; unused on Windows
};

}  // namespace tessel
