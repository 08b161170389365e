// The fixed-shape reports, byte for byte.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "link_fixture.h"
#include "protocol/file_search.h"

namespace tessel {
namespace {

using namespace std::string_literals;

class reports : public test::link_fixture {};

TEST_F(reports, info_with_nothing_playing_is_the_18_fixed_bytes) {
    run(commands::info);
    EXPECT_EQ(sent(), "INFOACK\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"s);
    EXPECT_EQ(sent().size(), 18u);
    EXPECT_EQ(writes().size(), 1u);
}

TEST_F(reports, info_carries_state_times_orders_and_title) {
    control_.playing = true;
    control_.paused = true;
    control_.length = 300;
    control_.position = -1;
    control_.shuffle = true;
    control_.title = "Bj\xC3\xB6rk - J\xC3\xB3ga";
    run(commands::info);
    EXPECT_EQ(sent(), "INFOACK\x03\x00\x00\x01\x2C\xFF\xFF\xFF\xFF\x01\x00"s + control_.title);
}

TEST_F(reports, info2_is_the_info_report_and_a_zero) {
    run(commands::info2);
    EXPECT_EQ(sent().size(), 19u);
    EXPECT_EQ(sent(), "INFOACK" + std::string(12, '\0'));
}

TEST_F(reports, info2_title_arrives_zero_terminated) {
    control_.playing = true;
    control_.title = "\xE6\x97\xA5\xE6\x9C\xAC";
    run(commands::info2);
    const std::string reply = sent();
    ASSERT_EQ(reply.size(), 18u + 6u + 1u);
    EXPECT_EQ(reply.substr(18, 6), control_.title);
    EXPECT_EQ(reply.back(), '\0');
}

TEST_F(reports, volume_report) {
    control_.volume = 255;
    run(commands::get_volume);
    EXPECT_EQ(sent(), "GVOLACK\xFF"s);
}

TEST_F(reports, version_report_is_constant) {
    run(commands::version);
    EXPECT_EQ(sent(), "VERSACK\x01\x49"s);
}

TEST_F(reports, playlist_length_is_a_bare_count) {
    control_.playlist_size = 0;
    run(commands::playlist_length);
    control_.playlist_size = 65535;
    run(commands::playlist_length);
    EXPECT_EQ(sent(), "\x00\x00\xFF\xFF"s);
    EXPECT_TRUE(console_.lines().empty());
}

TEST_F(reports, playlist_length_over_the_limit_logs_and_sends_the_low_bits) {
    control_.playlist_size = 65536;
    run(commands::playlist_length);
    control_.playlist_size = 65536 + 300;
    run(commands::playlist_length);
    EXPECT_EQ(sent(), "\x00\x00\x01\x2C"s);
    EXPECT_EQ(
        console_.lines(),
        (std::vector<std::string>{
            "ERROR : The playlist exceeds 65535 songs, it cannot be uploaded to the phone!",
            "ERROR : The playlist exceeds 65535 songs, it cannot be uploaded to the phone!"}));
}

TEST_F(reports, detailed_info_carries_three_big_endian_values) {
    control_.bitrate = 320;
    control_.info_value_2 = 1337;
    control_.info_value_3 = -2;
    run(commands::detailed_info);
    EXPECT_EQ(sent(), "DINFACK\x00\x00\x01\x40\x00\x00\x05\x39\xFF\xFF\xFF\xFE"s);
}

#if defined(_WIN32)
// Searches as Windows does for a process that did not opt into long paths (Wine reaches them
// in every form): a path of MAX_PATH (260) or more finds nothing unless in its \\?\ form.
corvina::find_file* search_as_windows(const char* pattern) {
    const std::string_view path(pattern);
    return path.size() >= 260 && !path.starts_with("\\\\?\\") ? nullptr : uFindFirstFile(pattern);
}
#endif

TEST_F(reports, file_info_sends_the_playing_file_size_and_ignores_its_argument) {
    const auto folder =
        std::filesystem::temp_directory_path() /
        ("tessel_finf_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(folder);
    const auto file = folder / "song.mp3";
    {
        std::ofstream out(file, std::ios::binary);
        out << std::string(70000, 'a');
    }
    control_.playing_path = file.string();
    run(commands::file_info,
        "\x00\x03"
        "abc"s);
    run(commands::file_info, "\x00\x00"s);
    // As the player keeps it: a location.
    control_.playing_path = "file://" + file.string();
    run(commands::file_info, "\x00\x00"s);
    const std::string reply = "FINFACK\x00\x01\x11\x70"s;
    EXPECT_EQ(sent(), reply + reply + reply);
#if defined(_WIN32)
    // Past MAX_PATH (260), reached in its \\?\ form.
    std::string deep = "\\\\?\\" + folder.string();
    for (const char c : {'x', 'y'}) {
        deep += "\\" + std::string(130, c);
        std::filesystem::create_directory(deep);
    }
    std::ofstream(deep + "\\song.mp3", std::ios::binary) << std::string(70000, 'a');
    control_.playing_path = "file://" + deep.substr(4) + "\\song.mp3";
    const std::size_t before = sent().size();
    use_file_search_starter(search_as_windows);
    run(commands::file_info, "\x00\x00"s);
    use_file_search_starter(nullptr);
    EXPECT_EQ(sent().substr(before), reply);
#endif
    EXPECT_EQ(wire_->unread(), 0u);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

TEST_F(reports, file_info_without_a_file_sends_size_zero) {
    control_.playing_path = "";
    run(commands::file_info, "\x00\x00"s);
    control_.playing_path =
        (std::filesystem::temp_directory_path() / "tessel_no_such_file.mp3").string();
    run(commands::file_info, "\x00\x00"s);
    EXPECT_EQ(sent(), "FINFACK\x00\x00\x00\x00"s + "FINFACK\x00\x00\x00\x00"s);
}

}  // namespace
}  // namespace tessel
