#pragma once
// The in-memory bytes of one setting while the configuration is saved. One buffer serves every
// setting of a save: clearing keeps the capacity, and the capacity grows by doubling.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tessel {

class config_buffer {
  public:
    config_buffer() = default;

    // Appends count bytes. Throws bad_alloc when the size would overflow.
    void write(const void* data, std::size_t count);
    void clear() { size_ = 0; }

    const std::uint8_t* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }

  private:
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace tessel
