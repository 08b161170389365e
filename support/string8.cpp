#include "support/string8.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "support/utf8.h"

namespace tessel {

std::size_t exact_growth::next_size(std::size_t current, std::size_t needed) {
    if (current < needed) {
        if (needed > std::numeric_limits<std::size_t>::max() - 16) {
            throw std::bad_alloc();
        }
        return needed + 16;
    }
    if (current - needed > 32) {
        return needed;
    }
    return current;
}

std::size_t doubling_growth::next_size(std::size_t current, std::size_t needed) {
    std::size_t size = current == 0 ? 1 : current;
    while (size < needed) {
        if (size > std::numeric_limits<std::size_t>::max() / 2) {
            throw std::bad_alloc();
        }
        size *= 2;
    }
    return size;
}

namespace {

// Bytes of text to take: up to count, stopping at a NUL.
std::size_t measure(const char* text, std::size_t count) {
    if (text == nullptr) {
        return 0;
    }
    const void* nul =
        std::memchr(text, 0, count == corvina::whole_text ? std::strlen(text) + 1 : count);
    return nul == nullptr ? count : static_cast<std::size_t>(static_cast<const char*>(nul) - text);
}

}  // namespace

template <class Growth>
basic_string8<Growth>::basic_string8(const char* text) {
    append(text, corvina::whole_text);
}

template <class Growth>
basic_string8<Growth>::basic_string8(const char* text, std::size_t count) {
    append(text, count);
}

template <class Growth>
basic_string8<Growth>::basic_string8(std::string_view text) {
    append(text.data(), text.size());
}

template <class Growth>
basic_string8<Growth>::basic_string8(const basic_string8& other) : incomplete_(other.incomplete_) {
    append(other.get_ptr(), other.length_);
}

template <class Growth>
basic_string8<Growth>::basic_string8(basic_string8&& other) noexcept
    : buffer_(std::exchange(other.buffer_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      length_(std::exchange(other.length_, 0)),
      incomplete_(std::exchange(other.incomplete_, false)) {}

template <class Growth>
basic_string8<Growth>& basic_string8<Growth>::operator=(const basic_string8& other) {
    if (this != &other) {
        assign(other.get_ptr(), other.length_);
        incomplete_ = other.incomplete_;
    }
    return *this;
}

template <class Growth>
basic_string8<Growth>& basic_string8<Growth>::operator=(basic_string8&& other) noexcept {
    if (this != &other) {
        std::free(buffer_);
        buffer_ = std::exchange(other.buffer_, nullptr);
        size_ = std::exchange(other.size_, 0);
        length_ = std::exchange(other.length_, 0);
        incomplete_ = std::exchange(other.incomplete_, false);
    }
    return *this;
}

template <class Growth>
basic_string8<Growth>& basic_string8<Growth>::operator=(const char* text) {
    assign(text, corvina::whole_text);
    return *this;
}

template <class Growth>
basic_string8<Growth>::~basic_string8() {
    std::free(buffer_);
}

template <class Growth>
void basic_string8<Growth>::resize_buffer(std::size_t needed) {
    const std::size_t size = Growth::next_size(size_, needed);
    if (size == size_) {
        return;
    }
    if (size == 0) {
        std::free(buffer_);
        buffer_ = nullptr;
        size_ = 0;
        return;
    }
    void* grown = std::realloc(buffer_, size);
    if (grown == nullptr) {
        throw std::bad_alloc();
    }
    buffer_ = static_cast<char*>(grown);
    size_ = size;
}

template <class Growth>
void basic_string8<Growth>::append(const char* text, std::size_t count) {
    const std::size_t taken = measure(text, count);
    if (taken == 0) {
        return;
    }
    if (buffer_ != nullptr && text >= buffer_ && text < buffer_ + size_) {
        // The text lives in this buffer, which the resize may move.
        const basic_string8 copy(text, taken);
        append(copy.get_ptr(), taken);
        return;
    }
    if (length_ + taken < length_ || length_ + taken + 1 == 0) {
        throw std::bad_alloc();
    }
    resize_buffer(length_ + taken + 1);
    std::memcpy(buffer_ + length_, text, taken);
    length_ += taken;
    buffer_[length_] = '\0';
}

template <class Growth>
const char* basic_string8<Growth>::get_ptr() const {
    return length_ == 0 || buffer_ == nullptr ? "" : buffer_;
}

template <class Growth>
void basic_string8<Growth>::assign(const char* text, std::size_t count) {
    if (buffer_ != nullptr && text >= buffer_ && text < buffer_ + size_) {
        const basic_string8 copy(text, measure(text, count));
        assign(copy.get_ptr(), copy.length_);
        return;
    }
    length_ = 0;
    if (buffer_ != nullptr) {
        buffer_[0] = '\0';
    }
    const std::size_t taken = measure(text, count);
    if (taken == 0) {
        resize_buffer(1);
        if (buffer_ != nullptr) {
            buffer_[0] = '\0';
        }
        return;
    }
    append(text, taken);
}

// The string_base operations are also the player's way to hand text in: they never throw. An
// allocation that fails leaves the text as it was (set_string: empty), lock_buffer answers
// null, and the string is marked incomplete.

template <class Growth>
void basic_string8<Growth>::add_string(const char* text, std::size_t count) {
    try {
        append(text, count);
    } catch (const std::bad_alloc&) {
        incomplete_ = true;
    }
}

template <class Growth>
void basic_string8<Growth>::set_string(const char* text, std::size_t count) {
    try {
        assign(text, count);
    } catch (const std::bad_alloc&) {
        incomplete_ = true;
    }
}

template <class Growth>
void basic_string8<Growth>::truncate(std::size_t length) {
    if (length >= length_) {
        return;
    }
    buffer_[length] = '\0';
    length_ = length;
    shrink_buffer();
}

template <class Growth>
char* basic_string8<Growth>::lock_buffer(std::size_t n) {
    if (n + 1 == 0) {
        incomplete_ = true;
        return nullptr;
    }
    try {
        resize_buffer(n + 1);
    } catch (const std::bad_alloc&) {
        incomplete_ = true;
        return nullptr;
    }
    std::memset(buffer_, 0, size_);
    length_ = 0;
    return buffer_;
}

template <class Growth>
void basic_string8<Growth>::unlock_buffer() {
    if (buffer_ == nullptr) {
        return;
    }
    const void* nul = std::memchr(buffer_, 0, size_);
    length_ = nul == nullptr ? size_ - 1
                             : static_cast<std::size_t>(static_cast<const char*>(nul) - buffer_);
    buffer_[length_] = '\0';
    shrink_buffer();
}

template <class Growth>
void basic_string8<Growth>::shrink_buffer() noexcept {
    try {
        resize_buffer(length_ + 1);
    } catch (const std::bad_alloc&) {
        // The larger buffer serves as well.
    }
}

template <class Growth>
void basic_string8<Growth>::add_char(std::uint32_t code_point) {
    char bytes[6];
    const std::size_t count = utf8_encode_char(code_point, bytes);
    if (count != 0) {
        append(bytes, count);
    }
}

template class basic_string8<exact_growth>;
template class basic_string8<doubling_growth>;

}  // namespace tessel
