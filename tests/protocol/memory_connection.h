#pragma once
// A connection over memory for the command engine's tests: reads come from scripted bytes,
// writes are recorded one by one. Safe to write from several threads; like a real port it
// takes no lock over a whole write, so unordered writers interleave their bytes.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "support/reply_buffer.h"
#include "transport/connection.h"

namespace tessel::test {

class memory_connection final : public connection {
  public:
    struct recorded_write {
        std::size_t offset;  // where its first byte landed in the stream
        std::string bytes;
    };

    // Bytes the next reads will answer.
    void feed(std::string_view bytes);

    // Everything written, in arrival order.
    std::string written() const;
    std::vector<recorded_write> writes() const;
    // Script bytes not read yet.
    std::size_t unread() const;
    // The most bytes one read asked for.
    std::size_t largest_read() const;

    // The phone dropped off and came back: the stream counts one more opening.
    void reopen() { ++openings_; }
    std::uint64_t opening() const override { return openings_.load(); }

    bool open() override { return true; }
    void close() override {}
    int write(const void* bytes, std::size_t count) override;
    int write_buffer(const reply_buffer& buffer) override;
    int read(void* buffer, std::size_t count) override;
    void set_port_name(string8 /*name*/) override {}

  private:
    mutable std::mutex mutex_;
    std::deque<char> input_;
    std::string stream_;
    std::vector<recorded_write> writes_;
    std::size_t largest_read_ = 0;
    std::atomic<std::uint64_t> openings_{0};
};

}  // namespace tessel::test
