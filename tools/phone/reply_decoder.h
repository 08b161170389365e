#pragma once
// Decoded replies: what the PC said, as values. decode_reply takes the complete bytes of one
// reply (as delimited by reply_framer) and answers the values or why they do not parse.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "tools/phone/command_table.h"

namespace tessel::phone {

struct check_reply {};

struct status_reply {
    std::uint8_t state_bits = 0;  // 1 = playing, 2 = paused
    std::int32_t length = 0;      // seconds
    std::int32_t position = 0;    // seconds
    bool shuffle = false;
    bool repeat = false;
    std::string title;  // UTF-8 as sent
    bool playing() const { return (state_bits & 1) != 0; }
    bool paused() const { return (state_bits & 2) != 0; }
};

struct volume_reply {
    std::uint8_t level = 0;  // 0 = -100 dB .. 255 = 0 dB
};

struct version_reply {
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
};

struct playlist_length_reply {
    std::uint16_t count = 0;  // low 16 bits of the entry count
};

struct details_reply {
    std::int32_t bitrate = 0;
    std::int32_t value_2 = 0;
    std::int32_t value_3 = 0;
};

struct file_info_reply {
    std::uint32_t size = 0;  // low 32 bits of the file size in bytes
};

struct playlist_reply {
    bool too_long = false;            // more than 65535 entries: nothing but the end mark
    std::uint16_t playing_index = 0;  // meaningless when too_long
    std::vector<std::string> titles;  // ASCII, '?' for what was not, without the line feed
};

enum class folder_position : std::uint8_t { root = 0, first = 1, only = 2, middle = 3, last = 4 };
enum class folder_kind : std::uint8_t { folder = 1, file = 2, unlisted_folder = 3 };

struct folder_entry {
    std::uint8_t flags = 0;
    std::string name;
    std::size_t depth = 0;  // 0 for the root
    folder_position position() const { return static_cast<folder_position>(flags >> 4); }
    folder_kind kind() const { return static_cast<folder_kind>(flags & 0x0F); }
};

// The tree in the order it was sent (pre-order): each entry's depth places it.
struct folder_tree_reply {
    std::vector<folder_entry> entries;  // empty: the folder could not be read
};

using reply_value =
    std::variant<check_reply, status_reply, volume_reply, version_reply, playlist_length_reply,
                 details_reply, file_info_reply, playlist_reply, folder_tree_reply>;

struct decoded_reply {
    std::optional<reply_value> value;
    std::string error;  // set when value is empty
};

decoded_reply decode_reply(reply_kind kind, std::span<const std::uint8_t> bytes,
                           std::size_t token_size);

std::string_view position_name(folder_position position);
std::string_view kind_name(folder_kind kind);

}  // namespace tessel::phone
