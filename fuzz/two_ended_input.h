#pragma once
// One fuzz input read from both ends: the wire takes bytes from the front, in order, as a
// phone would send them; the player's answers take bytes from the back. So a corpus file that
// holds plain requests drives the commands, and whatever the fuzzer appends steers the
// answers. Both ends stop where they meet; an exhausted end answers zeros.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

namespace tessel::fuzz {

class two_ended_input {
  public:
    two_ended_input(const std::uint8_t* data, std::size_t size)
        : data_(data), front_(0), back_(size) {}

    // Up to count bytes from the front.
    std::size_t take_front(void* out, std::size_t count) {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::size_t got = std::min(count, back_ - front_);
        if (got != 0) {
            std::memcpy(out, data_ + front_, got);
        }
        front_ += got;
        return got;
    }

    std::size_t front_left() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return back_ - front_;
    }

    std::uint8_t back_byte() {
        std::lock_guard<std::mutex> lock(mutex_);
        return back_ > front_ ? data_[--back_] : 0;
    }

    std::uint16_t back_u16() {
        const std::uint16_t high = back_byte();
        return static_cast<std::uint16_t>(high << 8 | back_byte());
    }

    std::uint32_t back_u32() {
        const std::uint32_t high = back_u16();
        return high << 16 | back_u16();
    }

    // A text of up to max_length bytes (any bytes, zeros included) from the back.
    std::string back_text(std::size_t max_length) {
        const std::size_t length = std::min<std::size_t>(back_byte(), max_length);
        std::string text;
        for (std::size_t i = 0; i < length; ++i) {
            text.push_back(static_cast<char>(back_byte()));
        }
        return text;
    }

  private:
    mutable std::mutex mutex_;
    const std::uint8_t* data_;
    std::size_t front_;
    std::size_t back_;
};

}  // namespace tessel::fuzz
