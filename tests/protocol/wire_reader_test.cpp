#include "protocol/wire_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "memory_connection.h"
#include "tests/common/fake_host.h"

namespace tessel {
namespace {

using namespace std::string_literals;

class wire_reader : public ::testing::Test {
  protected:
    wire_reader() { player_.add_service(corvina::class_guids::console, console_); }

    test::fake_host player_;
    test::recording_console console_;
    test::host_guard guard_{player_};
    test::memory_connection link_;
};

TEST_F(wire_reader, string_reads_its_length_then_its_bytes) {
    link_.feed("\x00\x05hello!"s);
    EXPECT_EQ(read_wire_string(link_), "hello");
    EXPECT_EQ(link_.unread(), 1u);
    EXPECT_TRUE(console_.lines().empty());
}

TEST_F(wire_reader, empty_string_reads_nothing_further) {
    link_.feed(
        "\x00\x00"
        "CHCK"s);
    EXPECT_EQ(read_wire_string(link_), "");
    EXPECT_EQ(link_.unread(), 4u);
}

TEST_F(wire_reader, short_string_keeps_what_arrived_and_logs) {
    link_.feed(
        "\x00\x0A"
        "abcd"s);
    const string8 text = read_wire_string(link_);
    EXPECT_EQ(text, "abcd");
    EXPECT_EQ(text.length(), 4u);
    EXPECT_EQ(console_.lines(), std::vector<std::string>{"ERROR : Read error!"});
}

TEST_F(wire_reader, missing_length_reads_as_empty_and_logs) {
    link_.feed("\x00"s);
    EXPECT_EQ(read_wire_string(link_), "");
    EXPECT_EQ(console_.lines(), std::vector<std::string>{"ERROR : Read error!"});
}

// The port's wait for a read grows with the bytes asked for, so a silent phone that announced
// the longest string must never get a read of that size.
TEST_F(wire_reader, long_strings_are_read_in_small_pieces) {
    const std::string whole(65535, 'w');
    link_.feed("\xFF\xFF"s + whole + "C");
    EXPECT_EQ(read_wire_string(link_).view(), whole);
    EXPECT_EQ(link_.unread(), 1u);
    EXPECT_EQ(read_wire_u8(link_), 'C');
    EXPECT_TRUE(console_.lines().empty());

    link_.feed("\xFF\xFF"s + std::string(1000, 'c'));
    EXPECT_EQ(read_wire_string(link_).view(), std::string(1000, 'c'));
    EXPECT_EQ(console_.lines(), std::vector<std::string>{"ERROR : Read error!"});
    EXPECT_LE(link_.largest_read(), 1024u);
}

TEST_F(wire_reader, zero_byte_ends_the_text_but_every_byte_is_consumed) {
    link_.feed(
        "\x00\x06"
        "ab\x00"
        "cde"
        "STOP"s);
    EXPECT_EQ(read_wire_string(link_), "ab");
    EXPECT_EQ(link_.unread(), 4u);
}

TEST_F(wire_reader, utf8_travels_unchanged) {
    const std::string title = "C\xC3\xA9line \xF0\x9F\x8E\xB5";
    link_.feed("\x00"s + static_cast<char>(title.size()) + title);
    EXPECT_EQ(read_wire_string(link_), title);
}

TEST_F(wire_reader, integers_are_big_endian) {
    link_.feed("\x00\x00\x01\x2C\x01\x00\xFF"s);
    EXPECT_EQ(read_wire_u32(link_), 300u);
    EXPECT_EQ(read_wire_u16(link_), 256u);
    EXPECT_EQ(read_wire_u8(link_), 255u);
    EXPECT_TRUE(console_.lines().empty());
}

TEST_F(wire_reader, integer_bytes_that_never_arrived_are_zero) {
    link_.feed("\x01\x02"s);
    EXPECT_EQ(read_wire_u32(link_), 0x01020000u);
    EXPECT_EQ(read_wire_u8(link_), 0u);
    EXPECT_EQ(console_.lines().size(), 2u);
}

}  // namespace
}  // namespace tessel
