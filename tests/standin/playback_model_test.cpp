// Playlists and simulated playback, driven by a clock the test moves.

#include <gtest/gtest.h>

#include <set>

#include "standin/player/playback_model.h"
#include "standin/player/playlist_model.h"

namespace {

using namespace standin;

service_ptr<track_object> make_track(const std::string& path, double length,
                                     const std::string& album = {}) {
    track_metadata metadata;
    metadata.length = length;
    if (!album.empty()) {
        metadata.tags["album"] = album;
    }
    return make_counted<track_object>(path, metadata);
}

class PlaybackTest : public ::testing::Test {
  protected:
    PlaybackTest()
        : playback(
              playlists, [this] { return now; }, 1234) {
        first = playlists.create_playlist("First");
        second = playlists.create_playlist("Second");
        add(first, 4, 100.0);
        add(second, 3, 50.0);
    }

    void add(std::size_t list, int count, double length) {
        std::vector<service_ptr<track_object>> tracks;
        for (int i = 0; i < count; ++i) {
            tracks.push_back(
                make_track(playlists.at(list)->name + "/" + std::to_string(i) + ".mp3", length));
        }
        playlists.insert(list, no_index, tracks, {});
    }

    std::size_t playing_index() {
        playback.update();  // as every query of the player's services does
        return playlists.playing() ? playlists.playing()->item : 99;
    }

    double now = 1000.0;
    playlist_model playlists;
    playback_model playback;
    std::size_t first = 0;
    std::size_t second = 0;
};

}  // namespace

TEST(PlaylistModel, InsertAndRemoveKeepFocusAndPlayingItemOnTheirTrack) {
    playlist_model playlists;
    const std::size_t list = playlists.create_playlist("L");
    EXPECT_EQ(playlists.active(), list);
    std::vector<service_ptr<track_object>> tracks;
    for (int i = 0; i < 5; ++i) {
        tracks.push_back(make_track(std::to_string(i), 10));
    }
    EXPECT_EQ(playlists.insert(list, no_index, tracks, {true, false}), 0u);
    EXPECT_TRUE(playlists.is_selected(list, 0));
    EXPECT_FALSE(playlists.is_selected(list, 1));
    playlists.set_focus(list, 3);
    playlists.set_playing(item_location{list, 2});

    EXPECT_EQ(playlists.insert(list, 1, {make_track("new", 1)}, {}), 1u);
    EXPECT_EQ(playlists.focus(list), 4u);
    EXPECT_EQ(playlists.playing()->item, 3u);
    EXPECT_EQ(playlists.item(list, 3)->path(), "2");

    EXPECT_EQ(playlists.remove_if(list, [](std::size_t i) { return i < 2; }), 2u);
    EXPECT_EQ(playlists.focus(list), 2u);
    EXPECT_EQ(playlists.playing()->item, 1u);

    // Removing the playing item leaves nothing playing from the playlist.
    playlists.remove_if(list, [](std::size_t i) { return i == 1; });
    EXPECT_FALSE(playlists.playing());
    EXPECT_EQ(playlists.insert(7, no_index, tracks, {}), no_index);
    EXPECT_EQ(playlists.insert(list, no_index, {}, {}), no_index);
}

TEST(PlaylistModel, OrdersAreTheSevenNamedOnes) {
    const std::vector<std::string> expected{
        "Default",          "Repeat (playlist)", "Repeat (track)",   "Random",
        "Shuffle (tracks)", "Shuffle (albums)",  "Shuffle (folders)"};
    EXPECT_EQ(playback_order_names(), expected);
    playlist_model playlists;
    EXPECT_TRUE(playlists.set_order(4));
    EXPECT_EQ(playlists.order(), playback_order::shuffle_tracks);
    EXPECT_FALSE(playlists.set_order(7));
    EXPECT_EQ(playlists.order(), playback_order::shuffle_tracks);
}

TEST_F(PlaybackTest, PlayStartsAtTheFocusOfTheActivePlaylist) {
    playlists.set_focus(first, 2);
    playback.start(start_code::play, false);
    EXPECT_TRUE(playback.is_playing());
    EXPECT_EQ(playing_index(), 2u);
    EXPECT_EQ(playback.now_playing()->path(), "First/2.mp3");
}

TEST_F(PlaybackTest, PositionAdvancesWithTheClockAndStopsWhilePaused) {
    playback.play_item(first, 0);
    now += 12.5;
    EXPECT_DOUBLE_EQ(playback.position(), 12.5);
    playback.set_paused(true);
    EXPECT_TRUE(playback.is_paused());
    now += 30;
    EXPECT_DOUBLE_EQ(playback.position(), 12.5);
    playback.start(start_code::play, false);  // play resumes a paused track
    EXPECT_FALSE(playback.is_paused());
    now += 1;
    EXPECT_DOUBLE_EQ(playback.position(), 13.5);
}

TEST_F(PlaybackTest, TheEndOfATrackMovesOnAndTheEndOfThePlaylistStops) {
    playback.play_item(first, 2);
    now += 100 + 7;
    EXPECT_EQ(playing_index(), 3u);
    EXPECT_DOUBLE_EQ(playback.position(), 7);
    now += 100;
    EXPECT_FALSE(playback.is_playing());
    EXPECT_EQ(playback.now_playing(), nullptr);
}

TEST_F(PlaybackTest, SeveralTrackEndsInOneStepAreAllCounted) {
    playlists.set_order(static_cast<std::size_t>(playback_order::repeat_playlist));
    playback.play_item(second, 0);
    now += 50 * 7 + 3;  // seven whole tracks, wrapping: 0 1 2 0 1 2 0 -> 1
    EXPECT_EQ(playing_index(), 1u);
    EXPECT_DOUBLE_EQ(playback.position(), 3);
}

TEST_F(PlaybackTest, RepeatTrackReplaysAtTheEndButNextMovesOn) {
    playlists.set_order(static_cast<std::size_t>(playback_order::repeat_track));
    playback.play_item(first, 1);
    now += 150;
    EXPECT_EQ(playing_index(), 1u);
    EXPECT_DOUBLE_EQ(playback.position(), 50);
    playback.start(start_code::next, false);
    EXPECT_EQ(playing_index(), 2u);
}

TEST_F(PlaybackTest, NextAndPreviousFollowTheDefaultOrder) {
    playback.play_item(first, 0);
    playback.start(start_code::next, false);
    EXPECT_EQ(playing_index(), 1u);
    playback.start(start_code::previous, false);
    playback.start(start_code::previous, false);  // stays on the first item
    EXPECT_EQ(playing_index(), 0u);
    playback.play_item(first, 3);
    playback.start(start_code::next, false);  // nothing after the last item
    EXPECT_EQ(playing_index(), 3u);
}

TEST_F(PlaybackTest, RepeatPlaylistWrapsBothWays) {
    playlists.set_order(static_cast<std::size_t>(playback_order::repeat_playlist));
    playback.play_item(first, 3);
    playback.start(start_code::next, false);
    EXPECT_EQ(playing_index(), 0u);
    playback.start(start_code::previous, false);
    EXPECT_EQ(playing_index(), 3u);
}

TEST_F(PlaybackTest, NextStaysInThePlayingPlaylistWhenAnotherIsActive) {
    playback.play_item(second, 0);
    playlists.set_active(first);
    playback.start(start_code::next, false);
    EXPECT_EQ(playlists.playing()->playlist, second);
    EXPECT_EQ(playing_index(), 1u);
}

TEST_F(PlaybackTest, RandomPicksAnotherItemOfTheActivePlaylist) {
    playback.play_item(first, 1);
    std::set<std::size_t> seen;
    for (int i = 0; i < 40; ++i) {
        const std::size_t before = playing_index();
        playback.start(start_code::random, false);
        EXPECT_NE(playing_index(), before);
        EXPECT_EQ(playlists.playing()->playlist, first);
        seen.insert(playing_index());
    }
    EXPECT_EQ(seen.size(), 4u);
}

TEST_F(PlaybackTest, ShuffleTracksVisitsEveryItemOnceBeforeRepeating) {
    playlists.set_order(static_cast<std::size_t>(playback_order::shuffle_tracks));
    add(first, 6, 100.0);  // ten items
    playback.play_item(first, 0);
    std::vector<std::size_t> visited{playing_index()};
    for (int i = 0; i < 9; ++i) {
        playback.start(start_code::next, false);
        visited.push_back(playing_index());
    }
    EXPECT_EQ(std::set<std::size_t>(visited.begin(), visited.end()).size(), 10u);
    // Previous walks the same way back.
    playback.start(start_code::previous, false);
    EXPECT_EQ(playing_index(), visited[8]);
}

TEST_F(PlaybackTest, ShuffleAlbumsKeepsAnAlbumTogetherInPlaylistOrder) {
    const std::size_t list = playlists.create_playlist("Albums");
    std::vector<service_ptr<track_object>> tracks;
    for (int i = 0; i < 9; ++i) {
        tracks.push_back(make_track(std::to_string(i), 10, "album" + std::to_string(i / 3)));
    }
    playlists.insert(list, no_index, tracks, {});
    playlists.set_order(static_cast<std::size_t>(playback_order::shuffle_albums));
    playback.play_item(list, 0);
    std::vector<std::size_t> visited{0};
    for (int i = 0; i < 8; ++i) {
        playback.start(start_code::next, false);
        visited.push_back(playing_index());
    }
    for (std::size_t i = 0; i < visited.size(); i += 3) {
        EXPECT_EQ(visited[i] % 3, 0u);
        EXPECT_EQ(visited[i + 1], visited[i] + 1);
        EXPECT_EQ(visited[i + 2], visited[i] + 2);
    }
}

TEST_F(PlaybackTest, SeekNeedsAKnownLengthAndASeekPastTheEndMovesOn) {
    EXPECT_FALSE(playback.can_seek());
    playback.play_item(first, 0);
    EXPECT_TRUE(playback.can_seek());
    playback.seek(40);
    EXPECT_DOUBLE_EQ(playback.position(), 40);
    playback.seek_delta(-50);
    EXPECT_DOUBLE_EQ(playback.position(), 0);
    playback.seek(100);
    EXPECT_EQ(playing_index(), 1u);

    const std::size_t unknown = playlists.create_playlist("Unknown");
    playlists.insert(unknown, no_index, {make_track("x", 0.0)}, {});
    playback.play_item(unknown, 0);
    EXPECT_FALSE(playback.can_seek());
    now += 1e6;  // a track of unknown length never ends
    EXPECT_TRUE(playback.is_playing());
}

TEST_F(PlaybackTest, StopAtEndStopsOnceAndResets) {
    playback.play_item(first, 0);
    playback.set_stop_at_end(true);
    now += 101;
    EXPECT_FALSE(playback.is_playing());
    EXPECT_FALSE(playback.stop_at_end());
}

TEST_F(PlaybackTest, StopForgetsThePositionAndPlayResumesAtTheLastTrack) {
    playback.play_item(first, 2);
    now += 10;
    playback.stop();
    EXPECT_DOUBLE_EQ(playback.position(), 0);
    EXPECT_FALSE(playlists.playing());
    playback.start(start_code::play, false);  // the focus followed playback
    EXPECT_EQ(playing_index(), 2u);
}

TEST_F(PlaybackTest, TheRemovedPlayingTrackPlaysOn) {
    playback.play_item(first, 1);
    track_object* track = playback.now_playing();
    playlists.remove_if(first, [](std::size_t) { return true; });
    EXPECT_EQ(playback.now_playing(), track);  // still alive: playback holds it
    EXPECT_EQ(track->path(), "First/1.mp3");
    EXPECT_FALSE(playlists.playing());
}

TEST_F(PlaybackTest, VolumeIsClampedToItsRange) {
    playback.set_volume(-50.0f);
    EXPECT_FLOAT_EQ(playback.volume(), -50.0f);
    playback.set_volume(3.0f);
    EXPECT_FLOAT_EQ(playback.volume(), 0.0f);
    playback.set_volume(-120.0f);
    EXPECT_FLOAT_EQ(playback.volume(), -100.0f);
}
