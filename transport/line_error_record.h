#pragma once
// One line error (framing, parity, overrun, break) can abort the reader's call and the writer's
// at once, while the system keeps it to be read and cleared by one call. The reads and clears
// of a port's line error take turns here, and each error cleared is counted: a call aborted
// while or after an error was cleared that arose during it was aborted by that error too.

#include <cstdint>
#include <mutex>

namespace tessel {

class line_error_record {
  public:
    // Taken as a call begins.
    std::uint64_t cleared_so_far() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return cleared_;
    }

    // For a call that began when cleared_so_far() was began_at and was aborted by the driver:
    // clears the port's line error, if any, through clear (true when there was one), and
    // answers whether a line error aborted the call.
    template <class Clear>
    bool aborted_by_line_error(std::uint64_t began_at, Clear&& clear) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (clear()) {
            ++cleared_;
        }
        return cleared_ != began_at;
    }

  private:
    mutable std::mutex mutex_;
    std::uint64_t cleared_ = 0;
};

}  // namespace tessel
