#pragma once
// Reading a command's arguments from the connection. A short read logs "Read error!" and the
// command goes on with what arrived: bytes that never arrived read as zero, so a string ends
// where the data stopped and a missing integer is 0.

#include <cstdint>

#include "support/string8.h"
#include "transport/connection.h"

namespace tessel {

// A 16-bit big-endian length n, then n bytes of UTF-8; the text stops at the first zero byte
// but all n bytes are consumed.
string8 read_wire_string(connection& link);

std::uint8_t read_wire_u8(connection& link);
std::uint16_t read_wire_u16(connection& link);
std::uint32_t read_wire_u32(connection& link);

}  // namespace tessel
