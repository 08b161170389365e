#pragma once
// Lets another thread cut short an open of the port that is under way. Opening a Bluetooth
// port connects to the phone inside the open, which the system lets run for seconds when the
// phone is away. Windows: the opening thread's synchronous I/O, the open among it, is cancelled
// (CancelSynchronousIo); a driver that does not support that lets the open run its course.
// POSIX: nothing is cut, the open runs its course.

#include <cstdint>

namespace tessel {

class open_canceller {
  public:
    open_canceller() = default;
    open_canceller(const open_canceller&) = delete;
    open_canceller& operator=(const open_canceller&) = delete;
    ~open_canceller();

    // On the thread about to open, before the open. Where it cannot be made cancellable the
    // open just runs its course.
    void arm();
    // On the same thread, once the open has returned.
    void disarm();
    // From another thread, between arm and disarm only: anything else the opening thread waits
    // for would be cut as well.
    void cancel();

  private:
    [[maybe_unused]] std::intptr_t thread_ = 0;  // Windows: a handle to the armed thread
};

}  // namespace tessel
