// host_control's playlist and title operations against a player that records every call.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "control/host_control.h"
#include "tests/control/recording_player.h"

namespace tessel {
namespace {

using test::calls;

class playlist_control : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(player.outstanding_references(), 0); }

    std::vector<std::string> titles() {
        std::vector<std::string> texts;
        for (const string8& title : control.get_playlist_titles()) {
            texts.emplace_back(title.view());
        }
        return texts;
    }

    test::recording_player player;
    test::host_guard guard{player.host};
    host_control control;
};

TEST_F(playlist_control, add_file_imports_the_path_unchanged_after_file_scheme) {
    player.playlists.add_playlist({"a", "b"});
    control.add_file(string8("C:\\Music\\My Song.mp3"));
    EXPECT_EQ(player.log.take(),
              (calls{"playlists.active", "import(file://C:\\Music\\My Song.mp3,1,0,0,0)",
                     "playlists.insert(0,none,1)"}));
    EXPECT_EQ(player.playlists.item_names(0), (std::vector<std::string>{"a", "b", "new0"}));
    EXPECT_EQ(player.playlists.item(0, 2).path(), "file://C:\\Music\\My Song.mp3");
    EXPECT_EQ(player.playlists.last_insert_selected, std::vector<bool>{false});
    EXPECT_EQ(player.playback.playing, nullptr);

    control.add_file(string8(""));
    EXPECT_EQ(player.playlists.item(0, 3).path(), "file://");
}

TEST_F(playlist_control, add_file_that_cannot_be_imported_changes_nothing) {
    player.playlists.add_playlist({"a"});
    player.location_import.accept = false;
    control.add_file(string8("/no/such/file"));
    EXPECT_EQ(player.log.take(),
              (calls{"playlists.active", "import(file:///no/such/file,1,0,0,0)"}));
    EXPECT_EQ(player.playlists.item_names(0), std::vector<std::string>{"a"});
}

TEST_F(playlist_control, play_file_selects_the_new_item_and_plays_it) {
    player.playlists.add_playlist({"a", "b", "c", "d"});
    control.play_file(string8("D:\\x.flac"));
    EXPECT_EQ(player.log.take(),
              (calls{"playlists.active", "import(file://D:\\x.flac,1,0,0,0)",
                     "playlists.insert(0,none,1)", "playlists.active", "playlists.item_count(0)",
                     "playlists.active", "playlists.play(0,4)"}));
    EXPECT_EQ(player.playlists.last_insert_selected, std::vector<bool>{true});
    ASSERT_NE(player.playback.playing, nullptr);
    EXPECT_EQ(player.playback.playing->path(), "file://D:\\x.flac");
}

TEST_F(playlist_control, play_file_that_cannot_be_imported_plays_the_last_item) {
    player.playlists.add_playlist({"a", "b", "c", "d"});
    player.location_import.accept = false;
    control.play_file(string8("D:\\x.flac"));
    EXPECT_EQ(player.playback.playing, &player.playlists.item(0, 3));

    // An empty playlist has no last item to play.
    player.playlists.active = player.playlists.add_playlist({});
    player.log.take();
    control.play_file(string8("D:\\x.flac"));
    EXPECT_EQ(player.log.take(), (calls{"playlists.active", "import(file://D:\\x.flac,1,0,0,0)",
                                        "playlists.active", "playlists.item_count(1)"}));
}

TEST_F(playlist_control, play_track_focuses_then_plays) {
    player.playlists.add_playlist({"a", "b"});
    control.play_track(0);
    EXPECT_EQ(player.log.take(), (calls{"playlists.active", "playlists.focus(0,0)",
                                        "playlists.active", "playlists.play(0,0)"}));
    EXPECT_EQ(player.playback.playing, &player.playlists.item(0, 0));

    // Indexes outside the playlist reach the player unchanged.
    control.play_track(-1);
    control.play_track(7);
    EXPECT_EQ(player.log.take(),
              (calls{"playlists.active", "playlists.focus(0,none)", "playlists.active",
                     "playlists.play(0,none)", "playlists.active", "playlists.focus(0,7)",
                     "playlists.active", "playlists.play(0,7)"}));
}

TEST_F(playlist_control, remove_all_empties_only_the_active_playlist) {
    player.playlists.add_playlist({"a", "b"});
    player.playlists.active = player.playlists.add_playlist({"c", "d", "e"});
    control.remove_all();
    EXPECT_TRUE(player.playlists.item_names(1).empty());
    EXPECT_EQ(player.playlists.item_names(0), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(control.get_playlist_size(), 0);
}

TEST_F(playlist_control, titles_one_entry_per_item_each_ending_in_a_line_feed) {
    EXPECT_TRUE(titles().empty());  // no active playlist
    player.playlists.add_playlist({});
    EXPECT_TRUE(titles().empty());

    player.playlists.active = player.playlists.add_playlist({"a", "b", "c"});
    EXPECT_EQ(control.get_playlist_size(), 3);
    // Until a script is set, titles are formatted with an empty one.
    EXPECT_EQ(titles(), (std::vector<std::string>{"|a\n", "|b\n", "|c\n"}));

    const char* script = "$if2(%artist% - %title%, %_filename_ext%)";
    control.set_title_format(string8(script));
    player.log.take();
    const std::vector<std::string> expected{
        std::string(script) + "|a\n", std::string(script) + "|b\n", std::string(script) + "|c\n"};
    EXPECT_EQ(titles(), expected);
    // Each item is fetched alone and formatted with a freshly compiled script.
    const calls log = player.log.take();
    const calls first_item{"playlists.active", "playlists.enum_items(1)",
                           "title_format.compile(" + std::string(script) + ")",
                           "track(a).format_title(" + std::string(script) + ")"};
    ASSERT_EQ(log.size(), 2 + 3 * first_item.size());
    EXPECT_EQ(calls(log.begin() + 2, log.begin() + 6), first_item);
}

TEST_F(playlist_control, playing_title_uses_the_script_and_display_level_two) {
    player.playlists.add_playlist({"a"});
    control.set_title_format(string8("%title%"));
    string8 out("old");
    control.get_playing_title(out);
    EXPECT_EQ(out.view(), "");  // the player's answer when nothing plays
    player.playback.playing = &player.playlists.item(0, 0);
    control.get_playing_title(out);
    EXPECT_EQ(out.view(), "%title%|a");
    EXPECT_EQ(player.log.take(), (calls{"title_format.compile(%title%)", "playback.format_title(2)",
                                        "title_format.compile(%title%)", "playback.format_title(2)",
                                        "track(a).format_title(%title%)"}));
}

TEST_F(playlist_control, playing_index_is_within_the_playing_playlist) {
    EXPECT_EQ(control.get_playing_index(), 0);  // nothing plays
    player.playlists.add_playlist({"a", "b"});
    const std::size_t other = player.playlists.add_playlist({"c", "d", "e"});
    player.playlists.active = other;
    player.playlists.playing_at = {0, 1};
    EXPECT_EQ(control.get_playing_index(), 1);
    player.playlists.playing_at = {other, 2};
    EXPECT_EQ(control.get_playing_index(), 2);
}

TEST_F(playlist_control, without_an_active_playlist_nothing_happens) {
    control.add_file(string8("C:\\a.mp3"));
    control.play_file(string8("C:\\a.mp3"));
    control.play_track(0);
    control.remove_all();
    EXPECT_EQ(control.get_playlist_size(), 0);
    EXPECT_TRUE(titles().empty());
    for (const std::string& call : player.log.take()) {
        EXPECT_EQ(call, "playlists.active");
    }
}

}  // namespace
}  // namespace tessel
