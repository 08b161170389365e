#pragma once
// A view of the player's configuration reader limited to one record: a setting that loads
// from it cannot read past its own data.

#include <cstddef>
#include <cstdint>

#include "corvina/service.h"

namespace tessel {

class bounded_reader {
  public:
    bounded_reader(corvina::config_reader& source, corvina::abort_signal& abort,
                   std::uint64_t limit)
        : source_(source), abort_(abort), remaining_(limit) {}
    bounded_reader(const bounded_reader&) = delete;
    bounded_reader& operator=(const bounded_reader&) = delete;

    // Reads up to count bytes, never past the record; answers how many came.
    std::size_t read(void* buffer, std::size_t count);
    // Throws exception_io_data_truncation when fewer than count bytes came.
    void read_exactly(void* buffer, std::size_t count);
    // Reads and discards up to count bytes in small pieces; answers how many were skipped.
    std::uint64_t skip(std::uint64_t count);
    // Throws exception_io_data_truncation when fewer than count bytes were skipped.
    void skip_exactly(std::uint64_t count);

    std::uint64_t remaining() const { return remaining_; }

  private:
    corvina::config_reader& source_;
    corvina::abort_signal& abort_;
    std::uint64_t remaining_;
};

}  // namespace tessel
