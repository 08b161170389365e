#pragma once
// Big-endian integers on the wire. to_wire_* give the value whose bytes in memory are the
// big-endian form (what reply_buffer's append_u16/append_u32 expect); from_wire_* read
// big-endian bytes.

#include <bit>
#include <cstdint>

namespace tessel {

constexpr std::uint16_t to_wire_u16(std::uint16_t value) {
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<std::uint16_t>((value >> 8) | (value << 8));
    } else {
        return value;
    }
}

constexpr std::uint32_t to_wire_u32(std::uint32_t value) {
    if constexpr (std::endian::native == std::endian::little) {
        return (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) |
               (value << 24);
    } else {
        return value;
    }
}

constexpr std::uint16_t from_wire_u16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

constexpr std::uint32_t from_wire_u32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
           static_cast<std::uint32_t>(bytes[2]) << 8 | static_cast<std::uint32_t>(bytes[3]);
}

}  // namespace tessel
