#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link_fixture.h"
#include "protocol/playlist_transfer.h"

namespace tessel {
namespace {

using namespace std::string_literals;

const std::string end_mark = "\x00\x00\x00\x00"s;

class playlist : public test::link_fixture {};

TEST_F(playlist, empty_playlist) {
    control_.playing_index = 0;
    run(commands::playlist);
    EXPECT_EQ(sent(), "PLSTACK\x00\x00"s + end_mark);
    EXPECT_EQ(writes().size(), 1u);
}

TEST_F(playlist, titles_go_as_ascii_lines_after_the_playing_index) {
    control_.playlist_size = 2;
    control_.playing_index = 1;
    control_.playlist_titles = {"Aa - Bb\n",
                                "C\xC3\xA9line - \xC3\x87"
                                "a\n"};
    run(commands::playlist);
    EXPECT_EQ(sent(), "PLSTACK\x00\x01"s + "Aa - Bb\n" + "C?line - ?a\n" + end_mark);
    EXPECT_EQ(control_.calls, (std::vector<std::string>{"get_playlist_size", "get_playing_index",
                                                        "get_playlist_titles"}));
}

TEST_F(playlist, every_non_ascii_character_costs_one_question_mark) {
    EXPECT_EQ(to_ascii_title(string8("x\xF0\x9F\x8E\xB5y\n")), "x?y\n");
    EXPECT_EQ(to_ascii_title(string8("\xE6\x97\xA5")), "?");
    // Bytes that are not UTF-8 cost one mark each.
    EXPECT_EQ(to_ascii_title(string8("a\xFF\x80"
                                     "b")),
              "a??b");
    // A sequence cut short by the end of the text.
    EXPECT_EQ(to_ascii_title(string8("a\xE6\x97")), "a??");
    EXPECT_EQ(to_ascii_title(string8("")), "");
}

TEST_F(playlist, exactly_65535_entries_are_sent_in_full) {
    control_.playlist_size = 65535;
    control_.playing_index = 65534;
    control_.playlist_titles.assign(65535, "Title\n");
    run(commands::playlist);
    const std::string reply = sent();
    ASSERT_EQ(reply.size(), 7u + 2u + 65535u * 6u + 4u);
    EXPECT_EQ(reply.substr(0, 9), "PLSTACK\xFF\xFE"s);
    EXPECT_EQ(reply.substr(9, 12), "Title\nTitle\n");
    EXPECT_EQ(reply.substr(reply.size() - 10), "Title\n" + end_mark);
    EXPECT_TRUE(console_.lines().empty());
}

TEST_F(playlist, over_65535_entries_gives_the_error_and_the_short_reply) {
    control_.playlist_size = 65536;
    run(commands::playlist);
    EXPECT_EQ(sent(), "PLSTACK"s + end_mark);
    EXPECT_EQ(control_.calls, std::vector<std::string>{"get_playlist_size"});
    EXPECT_EQ(console_.lines(),
              std::vector<std::string>{
                  "ERROR : The playlist exceeds 65535 songs, it cannot be uploaded to the phone!"});
}

TEST_F(playlist, a_title_longer_than_one_growth_step_arrives_whole) {
    control_.playlist_size = 2;
    control_.playlist_titles = {std::string(140000, 'a') + "\n", std::string(70000, 'b') + "\n"};
    run(commands::playlist);
    EXPECT_EQ(sent(), "PLSTACK\x00\x00"s + control_.playlist_titles[0] +
                          control_.playlist_titles[1] + end_mark);
}

}  // namespace
}  // namespace tessel
