#pragma once
// UTF-8 character encoding and decoding, in the original form of up to six bytes a character.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessel {

// Writes the encoding of code_point to out (when not null) and answers its byte count:
// 1 to 6, or 0 for values above 0x7FFFFFFF (nothing written).
std::size_t utf8_encode_char(std::uint32_t code_point, char* out);

// Decodes the sequence at text, reading at most max bytes, into *code_point (when not null).
// Answers the bytes consumed; 0 for a NUL byte (code point 0) and for an invalid sequence.
std::size_t utf8_decode_char(const char* text, std::uint32_t* code_point,
                             std::size_t max = static_cast<std::size_t>(-1));

// Answers the bytes (1 to 4) of the Unicode character at text, reading at most max bytes; 0 for
// NUL and for what is not one in today's UTF-8: a broken or overlong sequence, a surrogate, or
// a value past U+10FFFF.
std::size_t utf8_unicode_char_length(const char* text, std::size_t max);

// The text as valid UTF-8: each byte that starts no Unicode character becomes U+FFFD.
std::string utf8_replace_invalid(std::string_view text);

}  // namespace tessel
