#include "host/config_buffer.h"

#include <cstring>
#include <limits>
#include <new>

namespace tessel {

void config_buffer::write(const void* data, std::size_t count) {
    if (count == 0) {
        return;
    }
    if (count > std::numeric_limits<std::size_t>::max() - size_) {
        throw std::bad_alloc();
    }
    const std::size_t needed = size_ + count;
    if (needed > capacity_) {
        std::size_t capacity = capacity_ == 0 ? 1 : capacity_;
        while (capacity < needed) {
            if (capacity > std::numeric_limits<std::size_t>::max() / 2) {
                throw std::bad_alloc();
            }
            capacity *= 2;
        }
        auto grown = std::make_unique<std::uint8_t[]>(capacity);
        if (size_ != 0) {
            std::memcpy(grown.get(), bytes_.get(), size_);
        }
        bytes_ = std::move(grown);
        capacity_ = capacity;
    }
    std::memcpy(bytes_.get() + size_, data, count);
    size_ = needed;
}

}  // namespace tessel
