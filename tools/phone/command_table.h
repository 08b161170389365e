#pragma once
// The phone's requests: the 28 command codes, what each carries after its code, which reply
// it draws, and the request bytes for a command line such as "seek 300".

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessel::phone {

enum class argument_kind {
    none,
    text,           // 16-bit big-endian length, then UTF-8 bytes
    optional_text,  // as text; an absent argument is sent as the empty string
    u32,            // seconds, big-endian
    u16,            // playlist index, big-endian
    byte,           // 0..255
    boolean,        // 1 = on, 0 = off
};

enum class reply_kind {
    none,               // the PC carries the command out silently
    check,              // the single byte "Y"
    status,             // INFOACK + status; the title runs until the line goes quiet
    status_terminated,  // INFOACK + status + title + 00 (INF2)
    volume,             // GVOLACK + level
    version,            // VERSACK + two bytes
    playlist_length,    // two bytes, no token
    details,            // DINFACK + three 32-bit values
    file_info,          // FINFACK + 32-bit size
    playlist,           // PLSTACK + playing index + lines + 00 00 00 00
    folder_tree,        // LISTACK + records + FF 00
};

struct command_info {
    std::string_view code;   // four letters, wire order
    std::string_view alias;  // a longer word accepted on the command line, or empty
    argument_kind argument;
    reply_kind reply;
    std::string_view summary;
};

// The whole table, in the order --help lists it.
std::span<const command_info> all_commands();

// The command for a word of the command line: its code or alias, in any letter case.
const command_info* find_command(std::string_view word);

// The four-letter token that starts a reply ("INFOACK"), or empty for untokened replies.
std::string token_of(const command_info& command);

// Request bytes, or an error text for an argument that does not fit.
struct encoded_request {
    std::vector<std::uint8_t> bytes;
    std::string error;  // empty on success
};

// args holds the words after the command word. Text arguments are taken as they are (UTF-8).
encoded_request encode_request(const command_info& command, std::span<const std::string> args);

// A raw request: a four-character code followed by bytes given in hexadecimal ("send FOOB 01 2c",
// "send SEEK 0000012C").
encoded_request encode_raw_request(std::span<const std::string> args);

// "53 45 45 4B" for the bytes given.
std::string hex_bytes(std::span<const std::uint8_t> bytes, std::string_view separator = " ");

}  // namespace tessel::phone
