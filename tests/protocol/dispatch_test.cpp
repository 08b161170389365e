// Each command reads exactly its arguments and makes its one call.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "link_fixture.h"

namespace tessel {
namespace {

using namespace std::string_literals;
using calls = std::vector<std::string>;

class dispatch : public test::link_fixture {};

struct simple_case {
    const char* code;
    const char* call;
};

TEST_F(dispatch, commands_without_arguments_make_their_call_and_send_nothing) {
    const simple_case cases[] = {
        {"STOP", "stop"},       {"PAUS", "pause"},      {"STRT", "start"},
        {"PREV", "previous"},   {"FADE", "fade_out"},   {"FFWD", "fast_forward 5"},
        {"RWND", "rewind 5"},   {"RMAL", "remove_all"}, {"STEN", "set_stop_at_end true"},
        {"NEXT", "next false"},
    };
    for (const simple_case& c : cases) {
        control_.calls.clear();
        wire_->feed("rest");
        link_->process_command(make_command_code(c.code[0], c.code[1], c.code[2], c.code[3]));
        EXPECT_EQ(control_.calls, calls{c.call}) << c.code;
        EXPECT_EQ(wire_->unread(), 4u) << c.code << " read an argument it does not have";
        std::string drain(4, '\0');
        wire_->read(drain.data(), drain.size());
    }
    EXPECT_EQ(sent(), "");
    EXPECT_TRUE(console_.lines().empty());
}

TEST_F(dispatch, next_passes_the_next_random_flag) {
    link_->set_next_random(true);
    run(commands::next);
    link_->set_next_random(false);
    run(commands::next);
    EXPECT_EQ(control_.calls, (calls{"next true", "next false"}));
}

TEST_F(dispatch, play_and_add_read_a_path) {
    run(commands::play,
        "\x00\x0A"
        "/music/a b"s);
    run(commands::add,
        "\x00\x06"
        "C:\\x\xC3\xA9"s);
    EXPECT_EQ(control_.calls, (calls{"play_file /music/a b", "add_file C:\\x\xC3\xA9"}));
    EXPECT_EQ(wire_->unread(), 0u);
}

TEST_F(dispatch, seek_reads_a_signed_big_endian_value) {
    run(commands::seek, "\x00\x00\x01\x2C"s);
    run(commands::seek, "\xFF\xFF\xFF\xFE"s);
    EXPECT_EQ(control_.calls, (calls{"seek 300", "seek -2"}));
    EXPECT_EQ(wire_->unread(), 0u);
}

TEST_F(dispatch, select_reads_a_16_bit_index) {
    run(commands::select, "\x01\x00"s);
    run(commands::select, "\xFF\xFF"s);
    EXPECT_EQ(control_.calls, (calls{"play_track 256", "play_track 65535"}));
    EXPECT_EQ(wire_->unread(), 0u);
}

TEST_F(dispatch, volume_reads_one_byte) {
    run(commands::volume, "\xFF\x00"s);
    EXPECT_EQ(control_.calls, calls{"set_volume 255"});
    EXPECT_EQ(wire_->unread(), 1u);
}

TEST_F(dispatch, shuffle_and_repeat_are_on_only_for_the_byte_1) {
    for (const char byte : {'\x01', '\x00', '\x02', '\xFF'}) {
        run(commands::shuffle, std::string(1, byte));
        run(commands::repeat, std::string(1, byte));
    }
    EXPECT_EQ(control_.calls, (calls{"set_shuffle true", "set_repeat true", "set_shuffle false",
                                     "set_repeat false", "set_shuffle false", "set_repeat false",
                                     "set_shuffle false", "set_repeat false"}));
}

TEST_F(dispatch, missing_argument_bytes_read_as_zero) {
    run(commands::seek, "\x01"s);  // 01 00 00 00
    run(commands::shuffle);
    EXPECT_EQ(control_.calls, (calls{"seek 16777216", "set_shuffle false"}));
    EXPECT_EQ(console_.lines(), (calls{"ERROR : Read error!", "ERROR : Read error!"}));
}

TEST_F(dispatch, check_answers_the_single_byte_y) {
    run(commands::check);
    ASSERT_EQ(writes().size(), 1u);
    EXPECT_EQ(sent(), "\x59");
    EXPECT_TRUE(control_.calls.empty());
}

TEST_F(dispatch, unlisted_code_reads_nothing_answers_nothing_logs_nothing) {
    wire_->feed(
        "\x00\x04"
        "PLAY"s);
    link_->process_command(make_command_code("XYZW"));
    link_->process_command(make_command_code("play"));
    link_->process_command(0);
    EXPECT_EQ(wire_->unread(), 6u);
    EXPECT_EQ(sent(), "");
    EXPECT_TRUE(control_.calls.empty());
    EXPECT_TRUE(console_.lines().empty());
}

TEST_F(dispatch, refused_off_the_main_thread_without_reading) {
    player_.set_main_thread(false);
    run(commands::seek, "\x00\x00\x01\x2C"s);
    run(commands::check);
    EXPECT_TRUE(control_.calls.empty());
    EXPECT_EQ(sent(), "");
    EXPECT_EQ(wire_->unread(), 4u);
    EXPECT_EQ(console_.lines(),
              (calls{"ERROR : process_command() called from outside of main thread.",
                     "ERROR : process_command() called from outside of main thread."}));
}

TEST_F(dispatch, another_thread_is_refused_by_the_player_answer) {
    // The fake player answers by the thread that built it.
    std::thread other([this] { link_->process_command(commands::stop); });
    other.join();
    EXPECT_TRUE(control_.calls.empty());
    EXPECT_EQ(console_.lines().size(), 1u);
}

TEST_F(dispatch, every_tokened_reply_starts_with_its_token) {
    const char* codes[] = {"INFO", "INF2", "GVOL", "VERS", "DINF", "FINF", "PLST", "DLST"};
    for (const char* code : codes) {
        const std::size_t before = sent().size();
        // FINF and DLST carry an empty string; the others ignore the two bytes left behind.
        wire_->feed("\x00\x00"s);
        link_->process_command(make_command_code(code[0], code[1], code[2], code[3]));
        const std::string reply = sent().substr(before);
        // INF2 sends the INFO report; DLST the folder listing.
        const std::string token = std::string(code) == "INF2"   ? "INFOACK"
                                  : std::string(code) == "DLST" ? "LISTACK"
                                                                : std::string(code) + "ACK";
        EXPECT_EQ(reply.substr(0, 7), token) << code;
        std::string drain(wire_->unread(), '\0');
        wire_->read(drain.data(), drain.size());
    }
}

}  // namespace
}  // namespace tessel
