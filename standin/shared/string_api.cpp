// Text helpers of the wrapper library.

#include <string>

#include "corvina/shared.h"

namespace {

// Decodes one UTF-8 sequence of up to 4 bytes; 0 consumed for a broken one.
std::size_t decode(const unsigned char* text, std::size_t left, char32_t& out) {
    const unsigned char lead = text[0];
    std::size_t count = lead < 0x80                   ? 1
                        : lead >= 0xC2 && lead < 0xE0 ? 2
                        : lead >= 0xE0 && lead < 0xF0 ? 3
                        : lead >= 0xF0 && lead < 0xF5 ? 4
                                                      : 0;
    if (count == 0 || count > left) {
        return 0;
    }
    char32_t value = count == 1 ? lead : lead & (0x7F >> count);
    for (std::size_t i = 1; i < count; ++i) {
        if ((text[i] & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (text[i] & 0x3F);
    }
    out = value;
    return count;
}

void encode(char32_t value, std::string& out) {
    if (value < 0x80) {
        out += static_cast<char>(value);
    } else if (value < 0x800) {
        out += static_cast<char>(0xC0 | (value >> 6));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
        out += static_cast<char>(0xE0 | (value >> 12));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (value >> 18));
        out += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    }
}

char32_t to_upper(char32_t c) {
    if (c >= U'a' && c <= U'z') {
        return c - (U'a' - U'A');
    }
    // Latin-1 letters; the C library's wide mapping depends on the process locale.
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
        return c - 0x20;
    }
    return c;
}

}  // namespace

void uAddStringUpper(corvina::string_base& out, const char* text, std::size_t length) {
    if (text == nullptr) {
        return;
    }
    std::size_t available = 0;
    while ((length == corvina::whole_text || available < length) && text[available] != '\0') {
        ++available;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::string upper;
    upper.reserve(available);
    for (std::size_t i = 0; i < available;) {
        char32_t c = 0;
        const std::size_t used = decode(bytes + i, available - i, c);
        if (used == 0) {
            upper += text[i];  // not UTF-8: kept as it is
            ++i;
            continue;
        }
        encode(to_upper(c), upper);
        i += used;
    }
    out.add_string(upper.data(), upper.size());
}
