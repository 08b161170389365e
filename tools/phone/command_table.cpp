#include "tools/phone/command_table.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

namespace tessel::phone {
namespace {

constexpr std::array<command_info, 28> commands{{
    {"PLAY", "", argument_kind::text, reply_kind::none, "play a file now (path on the PC)"},
    {"LADD", "add", argument_kind::text, reply_kind::none, "add a file to the playlist"},
    {"STOP", "", argument_kind::none, reply_kind::none, "stop"},
    {"PAUS", "pause", argument_kind::none, reply_kind::none, "pause or resume"},
    {"STRT", "start", argument_kind::none, reply_kind::none, "start playing"},
    {"NEXT", "", argument_kind::none, reply_kind::none, "next track"},
    {"PREV", "previous", argument_kind::none, reply_kind::none, "previous track"},
    {"FADE", "", argument_kind::none, reply_kind::none, "fade out"},
    {"FFWD", "forward", argument_kind::none, reply_kind::none, "skip 5 seconds forward"},
    {"RWND", "rewind", argument_kind::none, reply_kind::none, "skip 5 seconds back"},
    {"SEEK", "", argument_kind::u32, reply_kind::none, "seek to SECONDS (or M:SS)"},
    {"SLCT", "select", argument_kind::u16, reply_kind::none, "play playlist entry INDEX (from 0)"},
    {"VOLM", "volume", argument_kind::byte, reply_kind::none, "set the volume, 0..255"},
    {"SHFL", "shuffle", argument_kind::boolean, reply_kind::none, "shuffle on|off"},
    {"REPT", "repeat", argument_kind::boolean, reply_kind::none, "repeat on|off"},
    {"STEN", "stop-at-end", argument_kind::none, reply_kind::none, "stop after this track"},
    {"RMAL", "remove-all", argument_kind::none, reply_kind::none, "empty the playlist"},
    {"CHCK", "check", argument_kind::none, reply_kind::check, "is the PC listening? (Y)"},
    {"INFO", "", argument_kind::none, reply_kind::status, "state, length, position, title"},
    {"INF2", "info2", argument_kind::none, reply_kind::status_terminated,
     "as info, title zero-terminated"},
    {"GVOL", "get-volume", argument_kind::none, reply_kind::volume, "read the volume"},
    {"VERS", "version", argument_kind::none, reply_kind::version, "protocol version"},
    {"PLEN", "playlist-length", argument_kind::none, reply_kind::playlist_length,
     "number of playlist entries"},
    {"DINF", "details", argument_kind::none, reply_kind::details, "bit rate and two more values"},
    {"FINF", "file-info", argument_kind::optional_text, reply_kind::file_info,
     "size of the playing file (argument ignored by the PC)"},
    {"PLST", "playlist", argument_kind::none, reply_kind::playlist, "playing index and titles"},
    {"LIST", "", argument_kind::none, reply_kind::folder_tree, "the whole music-folder tree"},
    {"DLST", "", argument_kind::text, reply_kind::folder_tree, "one folder's contents (PATH)"},
}};

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<std::uint64_t> parse_unsigned(std::string_view text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

// SECONDS, M:SS or H:MM:SS.
std::optional<std::uint64_t> parse_seconds(std::string_view text) {
    std::uint64_t total = 0;
    int fields = 0;
    while (true) {
        const std::size_t colon = text.find(':');
        const auto field = parse_unsigned(text.substr(0, colon));
        if (!field || ++fields > 3 || (fields > 1 && *field >= 60)) {
            return std::nullopt;
        }
        if (total > std::numeric_limits<std::uint32_t>::max()) {
            return std::nullopt;
        }
        total = total * 60 + *field;
        if (colon == std::string_view::npos) {
            return total;
        }
        text.remove_prefix(colon + 1);
    }
}

std::optional<bool> parse_switch(std::string_view text) {
    for (std::string_view on : {"on", "1", "true", "yes"}) {
        if (equal_ignoring_case(text, on)) {
            return true;
        }
    }
    for (std::string_view off : {"off", "0", "false", "no"}) {
        if (equal_ignoring_case(text, off)) {
            return false;
        }
    }
    return std::nullopt;
}

void append_u16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

void append_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    append_u16(out, value >> 16);
    append_u16(out, value & 0xFFFF);
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace

std::span<const command_info> all_commands() {
    return commands;
}

const command_info* find_command(std::string_view word) {
    for (const command_info& command : commands) {
        if (equal_ignoring_case(word, command.code) ||
            (!command.alias.empty() && equal_ignoring_case(word, command.alias))) {
            return &command;
        }
    }
    return nullptr;
}

std::string token_of(const command_info& command) {
    if (command.reply == reply_kind::none || command.reply == reply_kind::check ||
        command.reply == reply_kind::playlist_length) {
        return {};
    }
    // DLST answers with LIST's token, and INF2 with the whole INFO reply, token included.
    std::string_view letters = command.code;
    if (command.reply == reply_kind::folder_tree) {
        letters = "LIST";
    } else if (command.reply == reply_kind::status_terminated) {
        letters = "INFO";
    }
    return std::string(letters) + "ACK";
}

encoded_request encode_request(const command_info& command, std::span<const std::string> args) {
    encoded_request result;
    result.bytes.assign(command.code.begin(), command.code.end());
    const std::string name(command.code);
    const bool optional = command.argument == argument_kind::optional_text;
    const std::size_t wanted = command.argument == argument_kind::none ? 0 : 1;
    if (args.size() > wanted || (args.size() < wanted && !optional)) {
        result.error = name + (wanted == 0 ? " takes no argument" : " takes one argument");
        return result;
    }
    switch (command.argument) {
        case argument_kind::none:
            break;
        case argument_kind::text:
        case argument_kind::optional_text: {
            const std::string_view text = args.empty() ? std::string_view() : args[0];
            if (text.size() > 0xFFFF) {
                result.error = name + ": the text is longer than 65535 bytes";
                return result;
            }
            if (text.find('\0') != std::string_view::npos) {
                result.error = name + ": the text holds a zero byte";
                return result;
            }
            append_u16(result.bytes, static_cast<std::uint32_t>(text.size()));
            result.bytes.insert(result.bytes.end(), text.begin(), text.end());
            break;
        }
        case argument_kind::u32: {
            const auto seconds = parse_seconds(args[0]);
            // The PC takes the value as signed: a larger one would seek backwards.
            if (!seconds || *seconds > std::numeric_limits<std::int32_t>::max()) {
                result.error =
                    name + ": expected seconds (0..2147483647) or M:SS, got '" + args[0] + "'";
                return result;
            }
            append_u32(result.bytes, static_cast<std::uint32_t>(*seconds));
            break;
        }
        case argument_kind::u16: {
            const auto index = parse_unsigned(args[0]);
            if (!index || *index > 0xFFFF) {
                result.error = name + ": expected an index 0..65535, got '" + args[0] + "'";
                return result;
            }
            append_u16(result.bytes, static_cast<std::uint32_t>(*index));
            break;
        }
        case argument_kind::byte: {
            const auto level = parse_unsigned(args[0]);
            if (!level || *level > 0xFF) {
                result.error = name + ": expected a level 0..255, got '" + args[0] + "'";
                return result;
            }
            result.bytes.push_back(static_cast<std::uint8_t>(*level));
            break;
        }
        case argument_kind::boolean: {
            const auto on = parse_switch(args[0]);
            if (!on) {
                result.error = name + ": expected on or off, got '" + args[0] + "'";
                return result;
            }
            result.bytes.push_back(*on ? 1 : 0);
            break;
        }
    }
    return result;
}

encoded_request encode_raw_request(std::span<const std::string> args) {
    encoded_request result;
    if (args.empty() || args[0].size() != 4) {
        result.error = "send: expected a four-character code, then bytes in hexadecimal";
        return result;
    }
    result.bytes.assign(args[0].begin(), args[0].end());
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word.size() % 2 != 0) {
            result.error = "send: '" + word + "' is not whole bytes in hexadecimal";
            return result;
        }
        for (std::size_t at = 0; at < word.size(); at += 2) {
            const int high = hex_digit(word[at]);
            const int low = hex_digit(word[at + 1]);
            if (high < 0 || low < 0) {
                result.error = "send: '" + word + "' is not hexadecimal";
                return result;
            }
            result.bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        }
    }
    return result;
}

std::string hex_bytes(std::span<const std::uint8_t> bytes, std::string_view separator) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) {
            out += separator;
        }
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0xF];
    }
    return out;
}

}  // namespace tessel::phone
