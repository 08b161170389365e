#include "protocol/wire_reader.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <vector>

#include "protocol/big_endian.h"
#include "support/log.h"

namespace tessel {

namespace {

// Long texts are read in pieces: the port waits for a read in proportion to its size, so a
// phone that announced 65,535 bytes and then fell silent would hold the main thread for
// minutes. Piece by piece, silence costs one small read's wait.
constexpr std::size_t read_piece = 256;

// Reads into a zeroed block; logs when fewer than count bytes came.
void read_exactly_or_log(connection& link, void* bytes, std::size_t count) {
    auto* block = static_cast<std::uint8_t*>(bytes);
    std::memset(block, 0, count);
    std::size_t arrived = 0;
    while (arrived < count) {
        const std::size_t piece = std::min(read_piece, count - arrived);
        const int got = link.read(block + arrived, piece);
        const std::size_t taken = got < 0 ? 0 : std::min(static_cast<std::size_t>(got), piece);
        arrived += taken;
        if (taken < piece) {
            // Whatever the port left past what it reported stays zero.
            std::memset(block + arrived, 0, count - arrived);
            log_error("Read error!");
            return;
        }
    }
}

}  // namespace

string8 read_wire_string(connection& link) {
    std::uint8_t length_bytes[2];
    read_exactly_or_log(link, length_bytes, sizeof length_bytes);
    const std::size_t length = from_wire_u16(length_bytes);
    if (length == 0) {
        return string8();
    }
    std::vector<char> text;
    try {
        text.resize(length);
    } catch (const std::bad_alloc&) {
        // The text is read all the same, so that the next command is read in step.
        std::uint8_t piece[read_piece];
        for (std::size_t left = length; left != 0;) {
            const std::size_t wanted = std::min(left, sizeof piece);
            if (link.read(piece, wanted) != static_cast<int>(wanted)) {
                break;  // the rest never came
            }
            left -= wanted;
        }
        throw;
    }
    read_exactly_or_log(link, text.data(), length);
    const void* zero = std::memchr(text.data(), 0, length);
    const std::size_t used =
        zero == nullptr ? length
                        : static_cast<std::size_t>(static_cast<const char*>(zero) - text.data());
    return string8(text.data(), used);
}

std::uint8_t read_wire_u8(connection& link) {
    std::uint8_t value;
    read_exactly_or_log(link, &value, 1);
    return value;
}

std::uint16_t read_wire_u16(connection& link) {
    std::uint8_t bytes[2];
    read_exactly_or_log(link, bytes, sizeof bytes);
    return from_wire_u16(bytes);
}

std::uint32_t read_wire_u32(connection& link) {
    std::uint8_t bytes[4];
    read_exactly_or_log(link, bytes, sizeof bytes);
    return from_wire_u32(bytes);
}

}  // namespace tessel
