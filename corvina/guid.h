#pragma once
// Class and object identifiers as the player passes them: the standard 16-byte layout,
// compared byte for byte.

#include <cstdint>
#include <cstring>

namespace corvina {

struct guid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};

static_assert(sizeof(guid) == 16);

inline bool operator==(const guid& a, const guid& b) {
    return std::memcmp(&a, &b, sizeof(guid)) == 0;
}

}  // namespace corvina
