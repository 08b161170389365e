// host_control against the stand-in player's own services: real playlists, playback orders,
// title formatting and location import of files on disk.

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "control/host_control.h"
#include "standin/player/player_host.h"
#include "tests/common/fake_host.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;
using standin::make_counted;
using standin::track_metadata;
using standin::track_object;

// A folder of its own below the temporary folder, removed at the end.
class scratch_folder {
  public:
    scratch_folder() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ =
            fs::temp_directory_path() / (std::string("tessel_control_") + test->name() + "_" +
                                         std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        fs::remove_all(path_);
        fs::create_directories(path_ / "Music");
    }
    ~scratch_folder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }

    // Makes an (untagged) file below Music and answers its path written with backslashes,
    // as a Windows path is.
    std::string add_music_file(const std::string& name) {
        std::ofstream(path_ / "Music" / name) << "not really audio";
        return path_.string() + "\\Music\\" + name;
    }

  private:
    fs::path path_;
};

class standin_control : public ::testing::Test {
  protected:
    static standin::player_host_settings quiet_player() {
        standin::player_host_settings settings;
        settings.clock = [] { return 0.0; };
        settings.random_seed = 7;
        settings.console = [](std::string_view) {};
        return settings;
    }

    // A playlist of tracks with these file names and no tags, not read from disk.
    std::size_t add_playlist(const std::string& name, const std::vector<std::string>& files) {
        const std::size_t list = player.playlists().create_playlist(name);
        std::vector<standin::service_ptr<track_object>> tracks;
        for (const std::string& file : files) {
            tracks.push_back(make_counted<track_object>("C:\\Music\\" + file, track_metadata{}));
        }
        player.playlists().insert(list, standin::no_index, tracks,
                                  std::vector<bool>(tracks.size(), false));
        return list;
    }

    std::string path_of(std::size_t list, std::size_t index) {
        const track_object* track = player.playlists().item(list, index);
        return track == nullptr ? "(none)" : track->path();
    }

    standin::player_host player{quiet_player()};
    test::host_guard guard{player.api()};
    host_control control;
};

TEST_F(standin_control, add_file_imports_a_windows_path_unchanged) {
    scratch_folder folder;
    const std::string path = folder.add_music_file("Song One.mp3");
    add_playlist("Default", {"a.mp3"});
    control.add_file(string8(path.c_str()));
    ASSERT_EQ(player.playlists().item_count(0), 2u);
    EXPECT_EQ(path_of(0, 1), path);
    EXPECT_FALSE(player.playlists().is_selected(0, 1));
    EXPECT_EQ(player.playback().now_playing(), nullptr);

    // Nothing to import: the playlist stays as it was.
    control.add_file(string8(""));
    control.add_file(string8((path + ".missing").c_str()));
    EXPECT_EQ(player.playlists().item_count(0), 2u);
}

TEST_F(standin_control, play_file_on_a_playlist_of_four_plays_item_four) {
    scratch_folder folder;
    const std::string path = folder.add_music_file("New.flac");
    add_playlist("Default", {"a.mp3", "b.mp3", "c.mp3", "d.mp3"});
    control.play_file(string8(path.c_str()));
    ASSERT_EQ(control.get_playlist_size(), 5);
    EXPECT_EQ(path_of(0, 4), path);
    EXPECT_TRUE(player.playlists().is_selected(0, 4));
    EXPECT_EQ(player.playlists().playing(), (standin::item_location{0, 4}));
    EXPECT_TRUE(control.is_playing());
    EXPECT_EQ(control.get_playing_path().view(), path);
}

TEST_F(standin_control, play_track_zero_plays_the_first_item) {
    add_playlist("Default", {"a.mp3", "b.mp3", "c.mp3"});
    control.play_track(0);
    EXPECT_EQ(player.playlists().focus(0), 0u);
    EXPECT_EQ(player.playlists().playing(), (standin::item_location{0, 0}));
    EXPECT_EQ(control.get_playing_path().view(), "C:\\Music\\a.mp3");
}

TEST_F(standin_control, remove_all_empties_only_the_active_playlist) {
    add_playlist("Kept", {"a.mp3", "b.mp3"});
    const std::size_t emptied = add_playlist("Emptied", {"c.mp3", "d.mp3", "e.mp3"});
    player.playlists().set_active(emptied);
    control.remove_all();
    EXPECT_EQ(player.playlists().item_count(emptied), 0u);
    EXPECT_EQ(player.playlists().item_count(0), 2u);
    EXPECT_EQ(control.get_playlist_size(), 0);
}

TEST_F(standin_control, playing_index_is_within_the_playing_playlist) {
    EXPECT_EQ(control.get_playing_index(), 0);  // nothing plays
    const std::size_t playing = add_playlist("Playing", {"a.mp3", "b.mp3", "c.mp3"});
    const std::size_t other = add_playlist("Other", {"d.mp3"});
    ASSERT_TRUE(player.playback().play_item(playing, 2));
    player.playlists().set_active(other);
    EXPECT_EQ(control.get_playing_index(), 2);
}

TEST_F(standin_control, playlist_titles_are_formatted_with_the_current_script) {
    const std::size_t list = add_playlist("Default", {"plain.mp3"});
    track_metadata tagged;
    tagged.tags = {{"artist", "Artist"}, {"title", "Title"}};
    player.playlists().insert(list, standin::no_index,
                              {make_counted<track_object>("C:\\Music\\tagged.ogg", tagged)},
                              {false});
    control.set_title_format(string8("$if2(%artist% - %title%, %_filename_ext%)"));
    std::vector<std::string> titles;
    for (const string8& title : control.get_playlist_titles()) {
        titles.emplace_back(title.view());
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"plain.mp3\n", "Artist - Title\n"}));

    control.set_title_format(string8("$upper(%_filename%)"));
    const auto upper = control.get_playlist_titles();
    ASSERT_EQ(upper.size(), 2u);
    EXPECT_EQ(upper[0].view(), "PLAIN\n");

    control.play_track(1);
    string8 playing;
    control.get_playing_title(playing);
    EXPECT_EQ(playing.view(), "TAGGED");
}

TEST_F(standin_control, orders_volume_and_track_details) {
    const std::size_t list = player.playlists().create_playlist("Default");
    track_metadata details;
    details.length = 183.6;
    details.bitrate = 256;
    player.playlists().insert(list, standin::no_index,
                              {make_counted<track_object>("C:\\Music\\x.mp3", details)}, {false});

    control.set_shuffle(true);
    EXPECT_TRUE(control.is_shuffle());
    EXPECT_FALSE(control.is_repeat());
    control.set_repeat(true);
    EXPECT_EQ(player.playlists().order(), standin::playback_order::repeat_playlist);
    EXPECT_TRUE(control.is_repeat());
    control.set_repeat(false);
    EXPECT_EQ(player.playlists().order(), standin::playback_order::default_order);

    control.set_volume(128);
    EXPECT_EQ(player.playback().volume(), -50.0f);
    EXPECT_EQ(control.get_volume(), 127);

    EXPECT_EQ(control.get_bitrate(), 0);  // nothing plays yet
    control.play_track(0);
    EXPECT_EQ(control.get_bitrate(), 256);
    EXPECT_EQ(control.get_length(), 183);
    control.pause();
    EXPECT_TRUE(control.is_paused());
    control.pause();
    EXPECT_FALSE(control.is_paused());
    control.fade_out();
    EXPECT_FALSE(control.is_playing());
}

}  // namespace
}  // namespace tessel
