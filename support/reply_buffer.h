#pragma once
// A reply under construction: a growable byte block written to the phone in one write.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/string8.h"

namespace tessel {

class reply_buffer {
  public:
    // Allocates and zeroes initial_capacity bytes.
    explicit reply_buffer(std::uint32_t initial_capacity);
    reply_buffer(const reply_buffer&) = delete;
    reply_buffer& operator=(const reply_buffer&) = delete;
    // A finished reply changes hands without a copy; the one moved from is empty.
    reply_buffer(reply_buffer&& other) noexcept;
    reply_buffer& operator=(reply_buffer&& other) noexcept;
    ~reply_buffer();

    // Each append answers false, appending nothing, when the buffer cannot grow.
    bool append_byte(std::uint8_t value);
    // The value's bytes in memory order: callers pass values already in wire order.
    bool append_u16(std::uint16_t value);
    bool append_u32(std::uint32_t value);
    // The text's bytes, with no length and no terminator.
    bool append_text(const string8& text);
    bool append_bytes(std::string_view bytes);

    // Makes room for count more bytes, so that appends of that many cannot fail; false when
    // the buffer cannot grow. Lets a caller append an item of several parts whole or not at all.
    bool make_room(std::size_t count);

    // False once the buffer could not grow: every later append fails too, so the bytes are the
    // start of the reply meant, never a reply with a hole in it. Such a reply is not sent.
    bool is_whole() const { return !failed_; }
    // Replaces a byte already appended, at offset at (below size()).
    void set_byte(std::uint32_t at, std::uint8_t value);

    const std::uint8_t* data() const { return data_; }
    std::uint32_t size() const { return size_; }
    std::uint32_t capacity() const { return capacity_; }

    // Size 0, every byte zeroed, whole again.
    void clear();

  private:
    bool append_raw(const void* bytes, std::size_t count);

    std::uint8_t* data_ = nullptr;
    std::uint32_t size_ = 0;
    std::uint32_t capacity_ = 0;
    bool failed_ = false;
};

}  // namespace tessel
