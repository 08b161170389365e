#include "support/reply_buffer.h"

#include <gtest/gtest.h>

#include <string>

#include "protocol/big_endian.h"

namespace tessel {
namespace {

std::string contents(const reply_buffer& buffer) {
    return std::string(reinterpret_cast<const char*>(buffer.data()), buffer.size());
}

TEST(reply_buffer, integers_reach_the_buffer_in_wire_order) {
    reply_buffer buffer(7);
    EXPECT_TRUE(buffer.append_byte(0x7F));
    EXPECT_TRUE(buffer.append_u16(to_wire_u16(0x0102)));
    EXPECT_TRUE(buffer.append_u32(to_wire_u32(300)));
    EXPECT_EQ(contents(buffer), std::string("\x7F\x01\x02\x00\x00\x01\x2C", 7));
    EXPECT_EQ(buffer.capacity(), 7u);  // an exact fit does not grow
}

TEST(reply_buffer, growing_past_one_step_keeps_every_byte) {
    reply_buffer buffer(16);
    std::string expected;
    for (int i = 0; i < 200000; ++i) {
        const auto byte = static_cast<std::uint8_t>(i * 7);
        ASSERT_TRUE(buffer.append_byte(byte));
        expected += static_cast<char>(byte);
    }
    EXPECT_EQ(contents(buffer), expected);
    // Grown in whole 65,536-byte steps from the starting size.
    EXPECT_EQ((buffer.capacity() - 16) % 65536, 0u);
    EXPECT_GE(buffer.capacity(), 200000u);
}

TEST(reply_buffer, an_item_longer_than_one_step_is_appended_whole) {
    reply_buffer buffer(8);
    ASSERT_TRUE(buffer.append_bytes("LISTACK"));
    const std::string long_title(200001, 'x');
    ASSERT_TRUE(buffer.append_text(string8(long_title)));
    ASSERT_TRUE(buffer.append_byte(0));
    EXPECT_EQ(buffer.size(), 7u + 200001u + 1u);
    EXPECT_EQ(contents(buffer), "LISTACK" + long_title + std::string(1, '\0'));
    EXPECT_EQ(buffer.capacity(), 8u + 4 * 65536u);
}

TEST(reply_buffer, empty_text_and_zero_capacity_are_fine) {
    reply_buffer buffer(0);
    EXPECT_TRUE(buffer.append_text(string8()));
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_TRUE(buffer.append_bytes("Y"));
    EXPECT_EQ(contents(buffer), "Y");
}

TEST(reply_buffer, clear_empties_and_zeroes_and_forgets_a_failed_growth) {
    reply_buffer buffer(4);
    buffer.append_bytes("abcd");
    EXPECT_FALSE(buffer.make_room(std::size_t{1} << 32));
    // Nothing more is appended after a failure, even what would fit.
    EXPECT_FALSE(buffer.is_whole());
    EXPECT_FALSE(buffer.append_byte(1));
    buffer.clear();
    EXPECT_TRUE(buffer.is_whole());
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_EQ(buffer.capacity(), 4u);
    for (std::uint32_t i = 0; i < buffer.capacity(); ++i) {
        EXPECT_EQ(buffer.data()[i], 0);
    }
    buffer.append_bytes("z");
    EXPECT_EQ(contents(buffer), "z");
}

}  // namespace
}  // namespace tessel
