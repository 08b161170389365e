#include "support/utf8.h"

namespace tessel {

std::size_t utf8_encode_char(std::uint32_t code_point, char* out) {
    std::size_t count;
    std::uint8_t lead_mark;
    if (code_point < 0x80) {
        if (out != nullptr) {
            out[0] = static_cast<char>(code_point);
        }
        return 1;
    } else if (code_point < 0x800) {
        count = 2;
        lead_mark = 0xC0;
    } else if (code_point < 0x10000) {
        count = 3;
        lead_mark = 0xE0;
    } else if (code_point < 0x200000) {
        count = 4;
        lead_mark = 0xF0;
    } else if (code_point < 0x4000000) {
        count = 5;
        lead_mark = 0xF8;
    } else if (code_point < 0x80000000) {
        count = 6;
        lead_mark = 0xFC;
    } else {
        return 0;
    }
    if (out != nullptr) {
        std::uint32_t rest = code_point;
        for (std::size_t i = count - 1; i > 0; --i) {
            out[i] = static_cast<char>(0x80 | (rest & 0x3F));
            rest >>= 6;
        }
        out[0] = static_cast<char>(lead_mark | rest);
    }
    return count;
}

std::size_t utf8_decode_char(const char* text, std::uint32_t* code_point, std::size_t max) {
    if (max == 0) {
        return 0;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const unsigned char lead = bytes[0];
    if (lead < 0x80) {
        if (code_point != nullptr) {
            *code_point = lead;
        }
        return lead == 0 ? 0 : 1;
    }

    std::size_t count;
    if (lead >= 0xC0 && lead < 0xE0) {
        count = 2;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        count = 3;
    } else if (lead >= 0xF0 && lead < 0xF8) {
        count = 4;
    } else if (lead >= 0xF8 && lead < 0xFC) {
        count = 5;
    } else if (lead >= 0xFC && lead < 0xFE) {
        count = 6;
    } else {
        return 0;  // a continuation byte, or 0xFE / 0xFF
    }
    if (count > max) {
        return 0;
    }
    if (lead == 0xC0 || lead == 0xC1) {
        return 0;  // overlong two-byte form
    }

    // The lead carries 7 - count bits of the value.
    std::uint32_t value = lead & (0xFFu >> (count + 1));
    for (std::size_t i = 1; i < count; ++i) {
        const unsigned char next = bytes[i];
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (next & 0x3F);
    }

    // A value that a shorter sequence could carry is overlong.
    static constexpr std::uint32_t smallest[7] = {0, 0, 0x80, 0x800, 0x10000, 0x200000, 0x4000000};
    if (value < smallest[count]) {
        return 0;
    }

    if (code_point != nullptr) {
        *code_point = value;
    }
    return count;
}

std::size_t utf8_unicode_char_length(const char* text, std::size_t max) {
    std::uint32_t code_point = 0;
    const std::size_t used = utf8_decode_char(text, &code_point, max);
    // The decoder takes overlong forms as invalid already.
    if (used == 0 || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) {
        return 0;
    }
    return used;
}

std::string utf8_replace_invalid(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        // An ASCII byte, NUL included, is a character of its own.
        if (static_cast<unsigned char>(text[at]) < 0x80) {
            out += text[at];
            ++at;
            continue;
        }
        const std::size_t used = utf8_unicode_char_length(text.data() + at, text.size() - at);
        if (used == 0) {
            out += "\xEF\xBF\xBD";
            ++at;
        } else {
            out.append(text.substr(at, used));
            at += used;
        }
    }
    return out;
}

}  // namespace tessel
