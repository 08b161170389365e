#include "standin/player/text_case.h"

namespace standin {
namespace {

// Length of the UTF-8 sequence led by the byte; 1 for a byte that leads none.
std::size_t sequence_length(unsigned char lead) {
    if (lead >= 0xC2 && lead < 0xE0) {
        return 2;
    }
    if (lead >= 0xE0 && lead < 0xF0) {
        return 3;
    }
    if (lead >= 0xF0 && lead < 0xF5) {
        return 4;
    }
    return 1;
}

// Decodes one character; false (and one byte used) for bytes that are not UTF-8.
bool decode(std::string_view text, std::size_t pos, char32_t& out, std::size_t& used) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    used = sequence_length(lead);
    if (lead < 0x80) {
        out = lead;
        return true;
    }
    if (used == 1 || pos + used > text.size()) {
        used = 1;
        return false;
    }
    char32_t value = lead & (0x7F >> used);
    for (std::size_t i = 1; i < used; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            used = 1;
            return false;
        }
        value = (value << 6) | (next & 0x3F);
    }
    out = value;
    return true;
}

void encode(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char32_t upper(char32_t c) {
    if ((c >= U'a' && c <= U'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
        (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F)) {
        return c - 0x20;
    }
    if (c >= 0x450 && c <= 0x45F) {
        return c - 0x50;
    }
    if (c == 0xFF) {
        return 0x178;
    }
    // Latin Extended-A pairs upper case on the even code point.
    if (c >= 0x100 && c <= 0x17F && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
        const bool odd_is_lower = (c < 0x138) || (c > 0x148 && c < 0x178);
        if (odd_is_lower ? (c % 2 == 1) : (c % 2 == 0 && c != 0x178)) {
            return c - 1;
        }
    }
    return c;
}

char32_t lower(char32_t c) {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
    if (c == 0x178) {
        return 0xFF;
    }
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x138 && c != 0x149 && c != 0x17F) {
        const bool even_is_upper = (c < 0x138) || (c > 0x148 && c < 0x178);
        if (even_is_upper ? (c % 2 == 0) : (c % 2 == 1 && c != 0x17F)) {
            return c + 1;
        }
    }
    return c;
}

template <class Map>
std::string map_case(std::string_view text, Map map) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t c = 0;
        std::size_t used = 1;
        if (decode(text, pos, c, used)) {
            encode(map(c), out);
        } else {
            out += text[pos];
        }
        pos += used;
    }
    return out;
}

}  // namespace

std::string lower_ascii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string to_upper_utf8(std::string_view text) {
    return map_case(text, upper);
}
std::string to_lower_utf8(std::string_view text) {
    return map_case(text, lower);
}

std::string utf8_prefix(std::string_view text, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t taken = 0; taken < count && pos < text.size(); ++taken) {
        char32_t c = 0;
        std::size_t used = 1;
        decode(text, pos, c, used);
        pos += used;
    }
    return std::string(text.substr(0, pos));
}

}  // namespace standin
