#include "support/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tessel {
namespace {

std::string encoded(std::uint32_t code_point) {
    char bytes[6];
    return std::string(bytes, utf8_encode_char(code_point, bytes));
}

struct decoded {
    std::size_t used;
    std::uint32_t code_point;
};

decoded decode(const std::string& bytes) {
    decoded result{0, 0xDEADBEEF};
    result.used = utf8_decode_char(bytes.c_str(), &result.code_point, bytes.size() + 1);
    return result;
}

TEST(utf8, euro_sign_round_trips) {
    EXPECT_EQ(encoded(0x20AC), "\xE2\x82\xAC");
    const decoded euro = decode("\xE2\x82\xAC");
    EXPECT_EQ(euro.used, 3u);
    EXPECT_EQ(euro.code_point, 0x20ACu);
}

TEST(utf8, each_length_has_its_lead_and_bounds) {
    struct form {
        std::uint32_t first, last;
        std::size_t length;
        unsigned char lead_mark;
    };
    const form forms[] = {{0x01, 0x7F, 1, 0x00},          {0x80, 0x7FF, 2, 0xC0},
                          {0x800, 0xFFFF, 3, 0xE0},       {0x10000, 0x1FFFFF, 4, 0xF0},
                          {0x200000, 0x3FFFFFF, 5, 0xF8}, {0x4000000, 0x7FFFFFFF, 6, 0xFC}};
    for (const form& f : forms) {
        for (const std::uint32_t value : {f.first, f.last}) {
            SCOPED_TRACE(value);
            EXPECT_EQ(utf8_encode_char(value, nullptr), f.length);
            const std::string bytes = encoded(value);
            ASSERT_EQ(bytes.size(), f.length);
            if (f.length > 1) {
                const unsigned char lead = static_cast<unsigned char>(bytes[0]);
                EXPECT_EQ(lead & f.lead_mark, f.lead_mark);
                for (std::size_t i = 1; i < bytes.size(); ++i) {
                    EXPECT_EQ(static_cast<unsigned char>(bytes[i]) & 0xC0, 0x80);
                }
            }
            const decoded back = decode(bytes);
            EXPECT_EQ(back.used, f.length);
            EXPECT_EQ(back.code_point, value);
        }
    }
}

TEST(utf8, values_past_the_largest_form_encode_to_nothing) {
    char bytes[6] = {'u', 'u', 'u', 'u', 'u', 'u'};
    EXPECT_EQ(utf8_encode_char(0x80000000u, bytes), 0u);
    EXPECT_EQ(utf8_encode_char(0xFFFFFFFFu, nullptr), 0u);
    EXPECT_EQ(bytes[0], 'u');
}

TEST(utf8, nul_decodes_to_zero_consuming_nothing) {
    std::uint32_t code_point = 99;
    EXPECT_EQ(utf8_decode_char("", &code_point), 0u);
    EXPECT_EQ(code_point, 0u);
    EXPECT_EQ(utf8_decode_char("A", nullptr), 1u);
}

TEST(utf8, overlong_forms_are_invalid) {
    EXPECT_EQ(decode("\xC0\x80").used, 0u);
    EXPECT_EQ(decode("\xC1\xBF").used, 0u);
    EXPECT_EQ(decode("\xE0\x80\x80").used, 0u);
    EXPECT_EQ(decode("\xE0\x9F\xBF").used, 0u);
    EXPECT_EQ(decode("\xF0\x8F\xBF\xBF").used, 0u);
    EXPECT_EQ(decode("\xF8\x87\xBF\xBF\xBF").used, 0u);
    EXPECT_EQ(decode("\xFC\x83\xBF\xBF\xBF\xBF").used, 0u);
    // The shortest forms right above are fine.
    EXPECT_EQ(decode("\xC2\x80").used, 2u);
    EXPECT_EQ(decode("\xE0\xA0\x80").used, 3u);
    EXPECT_EQ(decode("\xF0\x90\x80\x80").used, 4u);
}

TEST(utf8, broken_sequences_are_invalid) {
    EXPECT_EQ(decode("\x80").used, 0u) << "a continuation byte cannot lead";
    EXPECT_EQ(decode("\xBF").used, 0u);
    EXPECT_EQ(decode("\xFE").used, 0u);
    EXPECT_EQ(decode("\xFF").used, 0u);
    EXPECT_EQ(decode("\xE2\x82").used, 0u) << "cut short by the terminator";
    EXPECT_EQ(decode("\xE2\x41\xAC").used, 0u);
    EXPECT_EQ(decode("\xE2\x82\xC0").used, 0u);
}

TEST(utf8, decoding_reads_no_further_than_the_bound) {
    const char euro[3] = {'\xE2', '\x82', '\xAC'};  // no terminator after it
    EXPECT_EQ(utf8_decode_char(euro, nullptr, 2), 0u);
    EXPECT_EQ(utf8_decode_char(euro, nullptr, 3), 3u);
    EXPECT_EQ(utf8_decode_char(euro, nullptr, 0), 0u);
}

TEST(utf8, replacing_keeps_valid_text_as_it_is) {
    using namespace std::string_literals;
    for (const std::string& text : {""s, "plain.mp3"s, "caf\xC3\xA9.mp3"s, "\xE2\x82\xAC"s,
                                    "\xF0\x9F\x8E\xB5"s, "\xF4\x8F\xBF\xBF"s, "a\0b"s}) {
        EXPECT_EQ(utf8_replace_invalid(text), text);
    }
}

TEST(utf8, replacing_turns_each_byte_that_starts_no_character_into_a_replacement) {
    const std::string r = "\xEF\xBF\xBD";
    EXPECT_EQ(utf8_replace_invalid("a\xFF"
                                   "b.mp3"),
              "a" + r + "b.mp3");
    EXPECT_EQ(utf8_replace_invalid("caf\xE9.mp3"), "caf" + r + ".mp3") << "Latin-1";
    EXPECT_EQ(utf8_replace_invalid("\xE2\x82"), r + r) << "cut short at the end";
    EXPECT_EQ(utf8_replace_invalid("\xC0\x80"), r + r) << "overlong";
    EXPECT_EQ(utf8_replace_invalid("\xED\xA0\x80"), r + r + r) << "a surrogate";
    EXPECT_EQ(utf8_replace_invalid("\xF4\x90\x80\x80"), r + r + r + r) << "past U+10FFFF";
    EXPECT_EQ(utf8_replace_invalid("\xF8\x88\x80\x80\x80"), r + r + r + r + r) << "five bytes";
    // Only the bad byte goes: what follows it is read afresh.
    EXPECT_EQ(utf8_replace_invalid("\xE2\xC3\xA9"), r + "\xC3\xA9");
}

TEST(utf8, replacing_reads_no_further_than_the_text) {
    // Exactly two bytes on the heap, so that a read past them is caught by the sanitizer.
    const auto bytes = std::make_unique<char[]>(2);
    bytes[0] = '\xE2';
    bytes[1] = '\x82';
    EXPECT_EQ(utf8_replace_invalid(std::string_view(bytes.get(), 2)), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(utf8, unicode_char_length_refuses_what_the_original_form_allows) {
    EXPECT_EQ(utf8_unicode_char_length("\xF4\x8F\xBF\xBF", 4), 4u);
    EXPECT_EQ(utf8_unicode_char_length("\xF4\x90\x80\x80", 4), 0u);
    EXPECT_EQ(utf8_unicode_char_length("\xED\x9F\xBF", 3), 3u);
    EXPECT_EQ(utf8_unicode_char_length("\xED\xA0\x80", 3), 0u);
    EXPECT_EQ(utf8_unicode_char_length("\xED\xBF\xBF", 3), 0u);
    EXPECT_EQ(utf8_unicode_char_length("\xEE\x80\x80", 3), 3u);
    EXPECT_EQ(utf8_unicode_char_length("\xFC\x84\x80\x80\x80\x80", 6), 0u);
    EXPECT_EQ(utf8_unicode_char_length("", 1), 0u);
}

}  // namespace
}  // namespace tessel
