#pragma once
// Lets work on a link thread that calls into the file system be stopped without waiting for
// the file system. A directory call on a share that has gone away may not return for a minute:
// the thread marks each such call, and whoever stops it waits only while it runs its own code,
// never while it sits in a call. A thread stopped inside a call is let go: when the call
// returns it learns it was stopped and ends, touching nothing but its own state.

#include <atomic>
#include <mutex>

namespace tessel {

class file_system_gate {
  public:
    // On the working thread, around each call into the file system. Both answer false when the
    // work was told to stop: it must then end without touching anything shared.
    bool enter_call();
    bool leave_call();

    // Cheap enough to ask between the entries of a listing.
    bool stop_requested() const { return stopping_.load(std::memory_order_relaxed); }

    // On the working thread, when it has nothing left to do.
    void mark_ended();

    void request_stop();

    // True when the working thread has ended or sits inside a call, so that nothing it does
    // from now on reaches anything shared: the stopper need not wait for it any longer.
    bool can_be_let_go() const;
    bool has_ended() const;

  private:
    mutable std::mutex mutex_;
    std::atomic<bool> stopping_{false};
    bool in_call_ = false;
    bool ended_ = false;
};

// Passes a thread's calls into the file system through its gate, if it has one, and remembers
// whether it was told to stop.
class gated_calls {
  public:
    explicit gated_calls(file_system_gate* gate) : gate_(gate) {}

    // The call's answer, or an empty one when the work was stopped before or during it.
    template <class Call>
    auto run(Call&& call) -> decltype(call()) {
        if (gate_ == nullptr) {
            return call();
        }
        if (!gate_->enter_call()) {
            stopped_ = true;
            return {};
        }
        decltype(call()) answer;
        try {
            answer = call();
        } catch (...) {
            leave();
            throw;
        }
        leave();
        if (stopped_) {
            return {};
        }
        return answer;
    }

    bool stopped() const { return stopped_ || (gate_ != nullptr && gate_->stop_requested()); }

  private:
    void leave() { stopped_ = !gate_->leave_call() || stopped_; }

    file_system_gate* gate_;
    bool stopped_ = false;
};

}  // namespace tessel
