#pragma once
// Small UTF-8 text helpers of the stand-in player: case mapping and prefixes by character.

#include <cstddef>
#include <string>
#include <string_view>

namespace standin {

std::string lower_ascii(std::string_view text);

// Upper / lower case of the Latin, Greek and Cyrillic letters; other characters, and bytes that
// are not UTF-8, are kept as they are.
std::string to_upper_utf8(std::string_view text);
std::string to_lower_utf8(std::string_view text);

// The first count characters (not bytes) of the text.
std::string utf8_prefix(std::string_view text, std::size_t count);

}  // namespace standin
