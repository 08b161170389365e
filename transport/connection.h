#pragma once
// The byte stream to the phone.

#include <cstddef>
#include <cstdint>

#include "support/string8.h"

namespace tessel {

class reply_buffer;

class connection {
  public:
    virtual bool open() = 0;                                      // slot 0
    virtual void close() = 0;                                     // slot 1
    virtual int write(const void* bytes, std::size_t count) = 0;  // slot 2
    virtual int write_buffer(const reply_buffer& buffer) = 0;     // slot 3
    // Answers the bytes read; fewer than count when the read timed out.
    virtual int read(void* buffer, std::size_t count) = 0;  // slot 4
    virtual void set_port_name(string8 name) = 0;           // slot 5
    // Ends a read or write in progress at once, and makes every later one end at once, until
    // the port is opened again. A stream that never waits has nothing to end.
    virtual void cancel_io() {}
    // Counts the openings of the stream. A reply made while one opening lasted is not for the
    // phone of the next: the one that comes back after a dropped link starts afresh.
    virtual std::uint64_t opening() const { return 0; }
    // Writes the buffer only while the stream is still in the opening given; answers 0 when it
    // has been opened again since. A stream that opens again makes the comparison and the write
    // one step, under the lock its opening takes, so that no opening comes between them.
    virtual int write_for_opening(const reply_buffer& buffer, std::uint64_t for_opening) {
        return for_opening == opening() ? write_buffer(buffer) : 0;
    }

    // Last, so that the operations above keep their slots.
    virtual ~connection() = default;
};

}  // namespace tessel
