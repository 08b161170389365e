// An ID3v2 block is a 10-byte header, an optional extended header, then frames until padding or
// the end. Unsynchronisation (a 0x00 stuffed after each 0xFF) is undone before a frame is read:
// over the whole block before version 2.4, frame by frame from 2.4 on.

#include "standin/player/id3v2_tags.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <optional>

#include "support/utf8.h"

namespace standin {
namespace {

constexpr std::size_t header_size = 10;
// Tags may hold pictures of megabytes; the text frames come first in practice, so reading stops
// there rather than holding a hostile size in memory.
constexpr std::uint64_t largest_read = 16u << 20;
constexpr std::uint32_t replacement_character = 0xFFFD;

unsigned byte_at(std::string_view bytes, std::size_t index) {
    return static_cast<unsigned char>(bytes[index]);
}

// A big-endian number of count bytes; synchsafe numbers carry 7 bits in each byte.
std::uint32_t read_number(std::string_view bytes, std::size_t count, unsigned bits_per_byte) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        value = (value << bits_per_byte) | (byte_at(bytes, i) & ((1u << bits_per_byte) - 1));
    }
    return value;
}

// The whole block's size, header included, or 0 when the bytes start no ID3v2 header.
std::size_t block_size(std::string_view bytes) {
    if (bytes.size() < header_size || bytes.substr(0, 3) != "ID3") {
        return 0;
    }
    const unsigned version = byte_at(bytes, 3);
    if (version < 2 || version > 4) {
        return 0;
    }
    for (std::size_t i = 6; i < header_size; ++i) {
        if (byte_at(bytes, i) & 0x80) {
            return 0;  // not a synchsafe size
        }
    }
    return header_size + read_number(bytes.substr(6), 4, 7);
}

bool drop_prefix(std::string_view& data, std::size_t count) {
    if (data.size() < count) {
        return false;
    }
    data.remove_prefix(count);
    return true;
}

std::string resynchronised(std::string_view data) {
    std::string out;
    out.reserve(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        out.push_back(data[i]);
        if (byte_at(data, i) == 0xFF && i + 1 < data.size() && data[i + 1] == '\0') {
            ++i;
        }
    }
    return out;
}

void append_code_point(std::string& out, std::uint32_t code_point) {
    char encoded[6];
    out.append(encoded, tessel::utf8_encode_char(code_point, encoded));
}

// Texts end at their first terminator: of the several values ID3v2.4 allows, the first counts.
std::string from_latin1(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size() && text[i] != '\0'; ++i) {
        append_code_point(out, byte_at(text, i));
    }
    return out;
}

std::string from_utf8(std::string_view text) {
    return tessel::utf8_replace_invalid(text.substr(0, text.find('\0')));
}

// A lone surrogate becomes U+FFFD; an odd last byte is dropped.
std::string from_utf16(std::string_view text, bool big_endian) {
    std::string out;
    std::uint32_t high_surrogate = 0;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const unsigned first = byte_at(text, i);
        const unsigned second = byte_at(text, i + 1);
        const std::uint32_t unit = big_endian ? (first << 8 | second) : (second << 8 | first);
        if (unit == 0) {
            break;
        }
        const bool is_high = unit >= 0xD800 && unit < 0xDC00;
        const bool is_low = unit >= 0xDC00 && unit < 0xE000;
        if (is_low && high_surrogate != 0) {
            append_code_point(out, 0x10000 + ((high_surrogate - 0xD800) << 10) + (unit - 0xDC00));
            high_surrogate = 0;
            continue;
        }
        if (high_surrogate != 0) {
            append_code_point(out, replacement_character);
            high_surrogate = 0;
        }
        if (is_high) {
            high_surrogate = unit;
        } else {
            append_code_point(out, is_low ? replacement_character : unit);
        }
    }
    if (high_surrogate != 0) {
        append_code_point(out, replacement_character);
    }
    return out;
}

// Byte order comes from the mark; without one, little-endian, as most writers use.
std::string from_marked_utf16(std::string_view text) {
    if (text.size() >= 2 && byte_at(text, 0) == 0xFE && byte_at(text, 1) == 0xFF) {
        return from_utf16(text.substr(2), true);
    }
    if (text.size() >= 2 && byte_at(text, 0) == 0xFF && byte_at(text, 1) == 0xFE) {
        return from_utf16(text.substr(2), false);
    }
    return from_utf16(text, false);
}

// A text frame's content: an encoding byte, then the text.
std::string frame_text(std::string_view frame) {
    if (frame.empty()) {
        return {};
    }
    const std::string_view text = frame.substr(1);
    switch (byte_at(frame, 0)) {
        case 0:
            return from_latin1(text);
        case 1:
            return from_marked_utf16(text);
        case 2:
            return from_utf16(text, true);
        case 3:
            return from_utf8(text);
        default:
            return {};
    }
}

// Track numbers ("3/12") and dates ("2024-05-01") keep their leading number, as the player's
// other tag reader gives them.
std::string leading_number(std::string_view text) {
    const std::size_t digits = std::min(text.find_first_not_of("0123456789"), std::size_t{9});
    std::uint32_t value = 0;
    std::from_chars(text.data(), text.data() + std::min(digits, text.size()), value);
    return value == 0 ? std::string() : std::to_string(value);
}

struct text_field {
    std::string_view frame_id;
    const char* name;
    bool numeric;
};

// Version 2.2 names its frames with three letters.
constexpr std::array<text_field, 13> text_fields{{
    {"TIT2", "title", false},
    {"TPE1", "artist", false},
    {"TALB", "album", false},
    {"TCON", "genre", false},
    {"TRCK", "tracknumber", true},
    {"TYER", "date", true},
    {"TDRC", "date", true},
    {"TT2", "title", false},
    {"TP1", "artist", false},
    {"TAL", "album", false},
    {"TCO", "genre", false},
    {"TRK", "tracknumber", true},
    {"TYE", "date", true},
}};

const text_field* field_of(std::string_view frame_id) {
    const auto found = std::find_if(text_fields.begin(), text_fields.end(),
                                    [&](const text_field& f) { return f.frame_id == frame_id; });
    return found == text_fields.end() ? nullptr : &*found;
}

// Removes what the frame's format flags put before its content; false for a frame that cannot
// be read (compressed or encrypted).
bool unwrap_frame(std::string_view& data, std::string& own_copy, unsigned version, unsigned format,
                  bool block_unsynchronised) {
    if (version == 3) {
        if (format & 0xC0) {
            return false;
        }
        return (format & 0x20) == 0 || drop_prefix(data, 1);  // group byte
    }
    if (format & 0x0C) {
        return false;
    }
    if (((format & 0x40) && !drop_prefix(data, 1)) || ((format & 0x01) && !drop_prefix(data, 4))) {
        return false;  // group byte, data length
    }
    if ((format & 0x02) || block_unsynchronised) {
        own_copy = resynchronised(data);
        data = own_copy;
    }
    return true;
}

void read_frames(std::string_view body, unsigned version, bool block_unsynchronised,
                 tag_fields& fields) {
    const std::size_t id_size = version == 2 ? 3 : 4;
    const std::size_t frame_header = version == 2 ? 6 : 10;
    while (body.size() >= frame_header && body[0] != '\0') {  // a zero byte starts the padding
        const std::string_view header = body.substr(0, frame_header);
        const std::uint32_t size = version == 2
                                       ? read_number(header.substr(3), 3, 8)
                                       : read_number(header.substr(4), 4, version == 4 ? 7 : 8);
        body.remove_prefix(frame_header);
        if (size > body.size()) {
            return;  // cut short
        }
        std::string_view data = body.substr(0, size);
        body.remove_prefix(size);
        const text_field* field = field_of(header.substr(0, id_size));
        if (field == nullptr || fields.contains(field->name)) {
            continue;
        }
        std::string own_copy;
        if (version > 2 &&
            !unwrap_frame(data, own_copy, version, byte_at(header, 9), block_unsynchronised)) {
            continue;
        }
        std::string text = frame_text(data);
        if (field->numeric) {
            text = leading_number(text);
        }
        if (!text.empty()) {
            fields.emplace(field->name, std::move(text));
        }
    }
}

// Where a file's ID3v2 block starts, and how many bytes its container gives it.
struct block_place {
    std::uint64_t offset = 0;
    std::uint64_t limit = 0;
};

std::uint32_t little_endian_32(const char* bytes) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

std::optional<block_place> find_block(std::istream& in, std::uint64_t file_size) {
    char head[12] = {};
    in.read(head, sizeof head);
    const std::string_view start(head, static_cast<std::size_t>(in.gcount()));
    if (start.substr(0, 3) == "ID3") {
        return block_place{0, file_size};
    }
    if (start.size() < 12 || start.substr(0, 4) != "RIFF" || start.substr(8, 4) != "WAVE") {
        return std::nullopt;
    }
    // Every step moves on by at least a chunk header, so the walk ends at the file's end.
    for (std::uint64_t at = 12; file_size - at >= 8;) {
        char chunk[8];
        in.seekg(static_cast<std::streamoff>(at));
        if (!in.read(chunk, sizeof chunk)) {
            return std::nullopt;
        }
        const std::uint64_t size = little_endian_32(chunk + 4);
        const std::string_view id(chunk, 4);
        if (id == "id3 " || id == "ID3 ") {
            return block_place{at + 8, size};
        }
        at += 8 + size + (size & 1);  // chunks are padded to an even size
        if (at > file_size) {
            break;
        }
    }
    return std::nullopt;
}

}  // namespace

tag_fields parse_id3v2(std::string_view bytes) {
    if (block_size(bytes) == 0) {
        return {};
    }
    const unsigned version = byte_at(bytes, 3);
    const unsigned flags = byte_at(bytes, 5);
    const bool unsynchronised = (flags & 0x80) != 0;
    std::string_view body = bytes.substr(header_size, block_size(bytes) - header_size);
    std::string resynchronised_body;
    if (unsynchronised && version < 4) {
        resynchronised_body = resynchronised(body);
        body = resynchronised_body;
    }
    if (flags & 0x40) {
        if (version == 2) {
            return {};  // compressed, with no scheme ever defined
        }
        if (body.size() < 4) {
            return {};
        }
        // Version 2.3 counts the size field out, 2.4 counts it in.
        const std::size_t extended =
            version == 3 ? std::size_t{4} + read_number(body, 4, 8) : read_number(body, 4, 7);
        if (!drop_prefix(body, extended)) {
            return {};
        }
    }
    tag_fields fields;
    read_frames(body, version, unsynchronised && version == 4, fields);
    return fields;
}

tag_fields read_id3v2_file(const std::filesystem::path& file) {
    std::error_code error;
    const std::uint64_t file_size = std::filesystem::file_size(file, error);
    std::ifstream in(file, std::ios::binary);
    if (error || !in) {
        return {};
    }
    const std::optional<block_place> place = find_block(in, file_size);
    if (!place || place->offset >= file_size) {
        return {};
    }
    const std::uint64_t available = std::min(place->limit, file_size - place->offset);
    std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(available, header_size)),
                      '\0');
    in.clear();
    in.seekg(static_cast<std::streamoff>(place->offset));
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const std::uint64_t whole =
        std::min({std::uint64_t{block_size(bytes)}, available, largest_read});
    if (!in || whole <= header_size) {
        return {};
    }
    bytes.resize(static_cast<std::size_t>(whole));
    in.read(bytes.data() + header_size, static_cast<std::streamsize>(whole - header_size));
    bytes.resize(header_size + static_cast<std::size_t>(in.gcount()));
    return parse_id3v2(bytes);
}

}  // namespace standin
