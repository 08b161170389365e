#include "support/string8.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <utility>

namespace tessel {
namespace {

template <class String>
class string8_text_test : public ::testing::Test {};

using both_strings = ::testing::Types<string8, scratch_string8>;
TYPED_TEST_SUITE(string8_text_test, both_strings);

TYPED_TEST(string8_text_test, add_takes_up_to_the_count_and_stops_at_nul) {
    TypeParam text;
    text.add_string("abc", 2);
    EXPECT_EQ(text, "ab");
    text.add_string("abc");
    EXPECT_EQ(text, "ababc");
    text.add_string("x\0yz", 4);
    EXPECT_EQ(text, "ababcx");
    text.add_string(nullptr, 5);
    text.add_string("", corvina::whole_text);
    EXPECT_EQ(text, "ababcx");
    EXPECT_EQ(text.length(), 6u);
    EXPECT_EQ(std::strlen(text.get_ptr()), 6u);
}

TYPED_TEST(string8_text_test, empty_string_reads_as_empty_text) {
    TypeParam text;
    EXPECT_STREQ(text.get_ptr(), "");
    EXPECT_TRUE(text.is_empty());
    text = "abc";
    text.truncate(0);
    EXPECT_STREQ(text.get_ptr(), "");
    text.set_string("");
    EXPECT_STREQ(text.c_str(), "");
}

TYPED_TEST(string8_text_test, set_replaces_and_stops_at_nul) {
    TypeParam text("something long enough");
    text.set_string("abc", 2);
    EXPECT_EQ(text, "ab");
    text.set_string("q\0r", 3);
    EXPECT_EQ(text, "q");
}

TYPED_TEST(string8_text_test, set_from_own_text_equals_set_from_a_copy) {
    TypeParam text("0123456789abcdefghij");
    const std::string copy(text.get_ptr() + 5, 7);
    text.set_string(text.get_ptr() + 5, 7);
    EXPECT_EQ(text, copy);

    TypeParam whole("same text");
    whole.set_string(whole.get_ptr());
    EXPECT_EQ(whole, "same text");
}

TYPED_TEST(string8_text_test, add_from_own_text_survives_the_buffer_moving) {
    TypeParam text("abcdefgh");
    for (int i = 0; i < 6; ++i) {
        text.add_string(text.get_ptr(), text.length());  // doubles each time: the buffer moves
    }
    ASSERT_EQ(text.length(), 8u * 64u);
    for (std::size_t i = 0; i < text.length(); ++i) {
        ASSERT_EQ(text.get_ptr()[i], "abcdefgh"[i % 8]) << "at " << i;
    }
    text.add_string(text.get_ptr() + 3, 2);
    EXPECT_EQ(text.view().substr(text.length() - 2), "de");
}

TYPED_TEST(string8_text_test, truncate_cuts_only_when_shorter) {
    TypeParam text("abcdef");
    text.truncate(10);
    EXPECT_EQ(text, "abcdef");
    text.truncate(3);
    EXPECT_EQ(text, "abc");
    EXPECT_EQ(text.get_ptr()[3], '\0');
}

TYPED_TEST(string8_text_test, lock_buffer_gives_zeroed_room_and_unlock_takes_the_length) {
    TypeParam text("previous content");
    char* buffer = text.lock_buffer(20);
    ASSERT_NE(buffer, nullptr);
    for (int i = 0; i <= 20; ++i) {
        ASSERT_EQ(buffer[i], '\0') << "at " << i;
    }
    std::memcpy(buffer, "filled", 6);
    text.unlock_buffer();
    EXPECT_EQ(text, "filled");
    EXPECT_EQ(text.length(), 6u);

    char* full = text.lock_buffer(4);
    std::memcpy(full, "wxyz", 4);  // every byte used: the terminator stays after them
    text.unlock_buffer();
    EXPECT_EQ(text, "wxyz");
}

TYPED_TEST(string8_text_test, add_char_appends_the_encoding) {
    TypeParam text;
    text.add_char('A');
    text.add_char(0x20AC);
    text.add_char(0x80000000u);  // not encodable: nothing
    text.add_char(0x10348);
    EXPECT_EQ(text, "A\xE2\x82\xAC\xF0\x90\x8D\x88");
}

TYPED_TEST(string8_text_test, copies_and_moves_keep_the_text) {
    TypeParam original("shared text");
    TypeParam copy(original);
    copy.add_string("!");
    EXPECT_EQ(original, "shared text");
    EXPECT_EQ(copy, "shared text!");
    TypeParam moved(std::move(copy));
    EXPECT_EQ(moved, "shared text!");
    copy = moved;
    EXPECT_EQ(copy, "shared text!");
    const TypeParam& same = copy;
    copy = same;  // assigning a string to itself keeps the text
    EXPECT_EQ(copy, "shared text!");
    original = std::move(moved);
    EXPECT_EQ(original, "shared text!");
}

TEST(string8_buffer, grows_to_need_plus_sixteen) {
    string8 text;
    text.add_string("abc");
    EXPECT_EQ(text.buffer_size(), 4u + 16u);
    text.add_string("defg");  // needs 8: fits in 20, and 20 is not more than 8 + 32
    EXPECT_EQ(text.buffer_size(), 20u);
}

TEST(string8_buffer, truncate_gives_the_surplus_back) {
    string8 text(std::string(100, 'x'));
    ASSERT_EQ(text.length(), 100u);
    text.truncate(10);
    EXPECT_EQ(text.buffer_size(), 11u);
    EXPECT_EQ(text, std::string(10, 'x'));
}

TEST(string8_buffer, a_small_cut_keeps_the_buffer) {
    string8 text(std::string(100, 'x'));
    const std::size_t before = text.buffer_size();
    ASSERT_EQ(before, 117u);
    text.truncate(90);  // 91 needed: the buffer is at most 32 bytes larger
    EXPECT_EQ(text.buffer_size(), before);
}

TEST(string8_buffer, unlock_shrinks_to_the_text) {
    string8 text;
    std::memcpy(text.lock_buffer(200), "ab", 2);
    text.unlock_buffer();
    EXPECT_EQ(text.buffer_size(), 3u);
}

TEST(scratch_string8_buffer, doubles_from_one_and_never_shrinks) {
    scratch_string8 text;
    text.add_string("abc");  // needs 4
    EXPECT_EQ(text.buffer_size(), 4u);
    text.add_string("de");  // needs 6
    EXPECT_EQ(text.buffer_size(), 8u);
    text.add_string(std::string(100, 'y').c_str());  // needs 106
    EXPECT_EQ(text.buffer_size(), 128u);
    text.truncate(1);
    EXPECT_EQ(text.buffer_size(), 128u);
    EXPECT_EQ(text, "a");
}

// The player calls lock_buffer too: an impossible size fails without an exception, and the
// string knows it did not get the player's text.
TEST(string8_buffer, impossible_sizes_fail_without_throwing_at_the_player) {
    string8 text("abc");
    EXPECT_FALSE(text.is_incomplete());
    EXPECT_EQ(text.lock_buffer(static_cast<std::size_t>(-1)), nullptr);
    EXPECT_EQ(text.lock_buffer(static_cast<std::size_t>(-1) - 8), nullptr);
    EXPECT_EQ(text, "abc");
    EXPECT_TRUE(text.is_incomplete());
    EXPECT_THROW(throw_if_incomplete(text), std::bad_alloc);
    scratch_string8 scratch("x");
    EXPECT_EQ(scratch.lock_buffer(static_cast<std::size_t>(-1) / 2 + 2), nullptr);
    EXPECT_EQ(scratch, "x");
    EXPECT_TRUE(scratch.is_incomplete());
}

}  // namespace
}  // namespace tessel
