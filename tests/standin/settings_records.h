#pragma once
// Builds records of a settings blob: the setting's GUID, a 32-bit little-endian length, the data.

#include <cstdint>
#include <string_view>

#include "corvina/guid.h"
#include "standin/player/config_store.h"

namespace standin::test {

inline byte_vector settings_record(const corvina::guid& id, std::string_view data) {
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&id);
    byte_vector out(raw, raw + 16);
    const auto length = static_cast<std::uint32_t>(data.size());
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    }
    for (const char c : data) {
        out.push_back(static_cast<std::uint8_t>(c));
    }
    return out;
}

}  // namespace standin::test
