#include "support/reply_buffer.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

namespace tessel {

namespace {

constexpr std::uint64_t growth_step = 65536;

}  // namespace

reply_buffer::reply_buffer(std::uint32_t initial_capacity) {
    if (initial_capacity == 0) {
        return;
    }
    data_ = static_cast<std::uint8_t*>(std::calloc(initial_capacity, 1));
    if (data_ != nullptr) {
        capacity_ = initial_capacity;
    }
}

reply_buffer::reply_buffer(reply_buffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      failed_(std::exchange(other.failed_, false)) {}

reply_buffer& reply_buffer::operator=(reply_buffer&& other) noexcept {
    if (this != &other) {
        std::free(data_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        failed_ = std::exchange(other.failed_, false);
    }
    return *this;
}

reply_buffer::~reply_buffer() {
    std::free(data_);
}

bool reply_buffer::append_byte(std::uint8_t value) {
    return append_raw(&value, 1);
}

bool reply_buffer::append_u16(std::uint16_t value) {
    return append_raw(&value, sizeof value);
}

bool reply_buffer::append_u32(std::uint32_t value) {
    return append_raw(&value, sizeof value);
}

bool reply_buffer::append_text(const string8& text) {
    return append_raw(text.c_str(), text.length());
}

bool reply_buffer::append_bytes(std::string_view bytes) {
    return append_raw(bytes.data(), bytes.size());
}

void reply_buffer::clear() {
    size_ = 0;
    failed_ = false;
    if (data_ != nullptr) {
        std::memset(data_, 0, capacity_);
    }
}

bool reply_buffer::make_room(std::size_t count) {
    const std::uint64_t needed = static_cast<std::uint64_t>(size_) + count;
    if (failed_) {
        return false;
    }
    if (needed <= capacity_) {
        return true;
    }
    // Grow in whole steps, as many as this item needs.
    const std::uint64_t missing = needed - capacity_;
    const std::uint64_t steps = (missing + growth_step - 1) / growth_step;
    const std::uint64_t grown = capacity_ + steps * growth_step;
    if (grown > std::numeric_limits<std::uint32_t>::max()) {
        failed_ = true;
        return false;
    }
    auto* block = static_cast<std::uint8_t*>(std::realloc(data_, static_cast<std::size_t>(grown)));
    if (block == nullptr) {
        failed_ = true;
        return false;
    }
    std::memset(block + capacity_, 0, static_cast<std::size_t>(grown - capacity_));
    data_ = block;
    capacity_ = static_cast<std::uint32_t>(grown);
    return true;
}

void reply_buffer::set_byte(std::uint32_t at, std::uint8_t value) {
    if (at < size_) {
        data_[at] = value;
    }
}

bool reply_buffer::append_raw(const void* bytes, std::size_t count) {
    if (count == 0) {
        return true;
    }
    if (!make_room(count)) {
        return false;
    }
    std::memcpy(data_ + size_, bytes, count);
    size_ += static_cast<std::uint32_t>(count);
    return true;
}

}  // namespace tessel
