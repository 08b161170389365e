#pragma once
// In-memory configuration streams standing in for the player's reader and writer.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "corvina/service.h"
#include "support/exceptions.h"

namespace tessel::test {

using bytes = std::vector<std::uint8_t>;

class never_abort final : public corvina::abort_signal {
  public:
    bool is_aborting() const override { return false; }
};

class memory_writer final : public corvina::config_writer {
  public:
    void write(const void* buffer, std::size_t count, corvina::abort_signal&) override {
        const auto* data = static_cast<const std::uint8_t*>(buffer);
        written.insert(written.end(), data, data + count);
    }

    bytes written;
};

class memory_reader final : public corvina::config_reader {
  public:
    explicit memory_reader(bytes data) : data_(std::move(data)) {}

    std::size_t read(void* buffer, std::size_t count, corvina::abort_signal&) override {
        largest_read = std::max(largest_read, count);
        const std::size_t got = std::min(count, data_.size() - position_);
        if (got != 0) {
            std::memcpy(buffer, data_.data() + position_, got);
        }
        position_ += got;
        return got;
    }
    // The player's throwing operations, which the component must not call.
    void read_exactly(void* buffer, std::size_t count, corvina::abort_signal& abort) override {
        ++throwing_calls;
        if (read(buffer, count, abort) != count) {
            throw exception_io_data_truncation();
        }
    }
    std::uint64_t skip(std::uint64_t count, corvina::abort_signal&) override {
        const std::uint64_t got = std::min<std::uint64_t>(count, data_.size() - position_);
        position_ += static_cast<std::size_t>(got);
        return got;
    }
    void skip_exactly(std::uint64_t count, corvina::abort_signal& abort) override {
        ++throwing_calls;
        if (skip(count, abort) != count) {
            throw exception_io_data_truncation();
        }
    }

    std::size_t position() const { return position_; }
    std::size_t largest_read = 0;
    int throwing_calls = 0;

  private:
    bytes data_;
    std::size_t position_ = 0;
};

// The 16 stored bytes of a GUID given in its text form "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX":
// the first three groups little-endian, the last eight bytes in order.
inline bytes guid_bytes(const std::string& text) {
    auto hex_at = [&](std::size_t pos) {
        return static_cast<std::uint8_t>(std::stoul(text.substr(pos, 2), nullptr, 16));
    };
    bytes out;
    for (std::size_t pos : {6, 4, 2, 0}) {
        out.push_back(hex_at(pos));
    }
    for (std::size_t pos : {11, 9, 16, 14}) {
        out.push_back(hex_at(pos));
    }
    for (std::size_t pos : {19, 21, 24, 26, 28, 30, 32, 34}) {
        out.push_back(hex_at(pos));
    }
    return out;
}

inline bytes le32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// One record: GUID, 32-bit little-endian length, data.
inline bytes record(const std::string& guid_text, const bytes& data) {
    bytes out = guid_bytes(guid_text);
    const bytes length = le32(static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), length.begin(), length.end());
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

inline bytes text_bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

inline bytes concat(std::initializer_list<bytes> parts) {
    bytes out;
    for (const bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

}  // namespace tessel::test
