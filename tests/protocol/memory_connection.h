#pragma once
// A connection over memory for the command engine's tests: reads come from scripted bytes,
// writes are recorded one by one, with the opening each went to. Safe to write from several
// threads; like a real port it takes no lock over a whole write, so unordered writers
// interleave their bytes.

#include <atomic>
#include <chrono>
#include <condition_variable>
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
        std::uint64_t opening;
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

    // The phone dropped off and came back: the stream counts one more opening, under the lock
    // a write for an opening holds while it compares and writes.
    void reopen();
    std::uint64_t opening() const override { return read_opening(); }
    int write_for_opening(const reply_buffer& buffer, std::uint64_t for_opening) override;

    // Holds the next reader of the opening right after it read it, until release_opening():
    // where a writer that compared and wrote in two steps could be overtaken by a reopening.
    void hold_next_opening_read();
    bool await_held_opening_read(std::chrono::milliseconds limit);
    void release_opening();
    // Waits until a reopen() has counted its opening, or waits for a write's lock to do so.
    bool await_reopen_counted_or_waiting(std::chrono::milliseconds limit);

    bool open() override { return true; }
    void close() override {}
    int write(const void* bytes, std::size_t count) override;
    int write_buffer(const reply_buffer& buffer) override;
    int read(void* buffer, std::size_t count) override;
    void set_port_name(string8 /*name*/) override {}

  private:
    std::uint64_t read_opening() const;

    mutable std::mutex mutex_;
    std::deque<char> input_;
    std::string stream_;
    std::vector<recorded_write> writes_;
    std::size_t largest_read_ = 0;
    std::atomic<std::uint64_t> openings_{0};

    std::mutex opening_guard_;  // reopen() against write_for_opening()
    enum class hold_state { none, armed, holding, released };
    mutable std::mutex hold_mutex_;
    mutable std::condition_variable hold_changed_;
    mutable hold_state hold_ = hold_state::none;
    bool reopen_counted_or_waiting_ = false;
};

}  // namespace tessel::test
