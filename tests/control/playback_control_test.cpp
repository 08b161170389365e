// host_control's transport, volume, playback-order and status operations against a player
// that records every call.

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "control/host_control.h"
#include "support/exceptions.h"
#include "tests/control/recording_player.h"

namespace tessel {
namespace {

using test::calls;

class playback_control : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(player.outstanding_references(), 0); }

    // Makes a track of playlist 0 the playing one.
    test::fake_track& play(std::size_t index) {
        test::fake_track& track = player.playlists.item(0, index);
        player.playback.playing = &track;
        return track;
    }

    test::recording_player player;
    test::host_guard guard{player.host};
    host_control control;
};

TEST_F(playback_control, next_goes_random_only_after_a_shuffle_report_and_when_asked) {
    control.next(true);  // right after start-up: no status report yet
    control.next(false);
    EXPECT_EQ(player.log.take(), (calls{"playback.start(2,0)", "playback.start(2,0)"}));

    player.playlists.active_order = 3;  // "Shuffle (tracks)"
    EXPECT_TRUE(control.is_shuffle());
    player.log.take();
    control.next(true);
    control.next(false);
    EXPECT_EQ(player.log.take(), (calls{"playback.start(5,0)", "playback.start(2,0)"}));

    player.playlists.active_order = 0;
    EXPECT_FALSE(control.is_shuffle());
    player.log.take();
    control.next(true);
    EXPECT_EQ(player.log.take(), (calls{"playback.start(2,0)"}));
}

TEST_F(playback_control, switching_shuffle_on_does_not_count_as_a_report) {
    control.set_shuffle(true);
    EXPECT_EQ(player.playlists.active_order, 3u);
    player.log.take();
    control.next(true);
    EXPECT_EQ(player.log.take(), (calls{"playback.start(2,0)"}));
}

TEST_F(playback_control, start_previous_stop_and_stop_at_end) {
    control.start();
    control.previous();
    control.stop();
    control.set_stop_at_end(true);
    EXPECT_EQ(player.log.take(), (calls{"playback.start(1,0)", "playback.start(3,0)",
                                        "playback.stop", "playback.set_stop_at_end(1)"}));
}

TEST_F(playback_control, pause_toggles) {
    control.pause();
    EXPECT_TRUE(player.playback.paused);
    control.pause();
    EXPECT_FALSE(player.playback.paused);
    EXPECT_EQ(player.log.take(), (calls{"playback.is_paused", "playback.set_paused(1)",
                                        "playback.is_paused", "playback.set_paused(0)"}));
}

TEST_F(playback_control, seek_asks_first_and_does_nothing_on_an_unseekable_track) {
    control.seek(42);
    control.seek(-7);
    EXPECT_EQ(player.log.take(), (calls{"playback.can_seek", "playback.seek(42)",
                                        "playback.can_seek", "playback.seek(-7)"}));
    player.playback.seekable = false;
    control.seek(42);
    EXPECT_EQ(player.log.take(), (calls{"playback.can_seek"}));
}

TEST_F(playback_control, fast_forward_and_rewind_seek_relatively) {
    control.fast_forward(5);
    control.rewind(5);
    EXPECT_EQ(player.log.take(), (calls{"playback.seek_delta(5)", "playback.seek_delta(-5)"}));
}

TEST_F(playback_control, fade_out_is_exactly_stop_through_the_virtual_table) {
    struct counting_control : host_control {
        void stop() override {
            ++stops;
            host_control::stop();
        }
        int stops = 0;
    } counting;
    counting.fade_out();
    EXPECT_EQ(counting.stops, 1);
    EXPECT_EQ(player.log.take(), (calls{"playback.stop"}));
}

TEST_F(playback_control, set_volume_maps_levels_to_decibels) {
    control.set_volume(255);
    EXPECT_EQ(player.playback.volume, 0.0f);
    EXPECT_FALSE(std::signbit(player.playback.volume));
    control.set_volume(254);
    EXPECT_EQ(player.playback.volume, -0.78125f);
    control.set_volume(128);
    EXPECT_EQ(player.playback.volume, -50.0f);
    control.set_volume(0);
    EXPECT_EQ(player.playback.volume, -100.0f);
}

TEST_F(playback_control, get_volume_maps_decibels_to_levels) {
    player.playback.volume = -50.0f;
    EXPECT_EQ(control.get_volume(), 127);
    player.playback.volume = 0.0f;
    EXPECT_EQ(control.get_volume(), 255);
    player.playback.volume = -100.0f;
    EXPECT_EQ(control.get_volume(), 0);
    for (const int level : {0, 128, 255}) {
        control.set_volume(static_cast<std::uint8_t>(level));
        EXPECT_EQ(control.get_volume(), level == 128 ? 127 : level);
    }
}

TEST_F(playback_control, playback_order_is_the_lowest_whose_name_begins_with_the_text) {
    control.set_playback_order(string8("Repeat"));
    EXPECT_EQ(player.playlists.active_order, 1u);
    // The count is asked again after each mismatch.
    EXPECT_EQ(player.log.take(), (calls{"orders.count", "orders.name(0)", "orders.count",
                                        "orders.name(1)", "orders.set_active(1)"}));

    control.set_playback_order(string8("Shuffle (albums)"));
    EXPECT_EQ(player.playlists.active_order, 4u);

    // A longer order name matches; a longer requested text does not.
    player.playlists.orders = {"Default plus", "Default"};
    control.set_repeat(false);
    EXPECT_EQ(player.playlists.active_order, 0u);
    control.set_playback_order(string8("Default plus more"));
    EXPECT_EQ(player.playlists.active_order, 0u);
}

TEST_F(playback_control, playback_order_changes_nothing_when_no_name_matches) {
    player.playlists.orders = {"Default", "Shuffle (tracks)"};
    player.playlists.active_order = 1;
    control.set_repeat(true);
    EXPECT_EQ(player.playlists.active_order, 1u);
    EXPECT_EQ(player.log.take(), (calls{"orders.count", "orders.name(0)", "orders.count",
                                        "orders.name(1)", "orders.count"}));

    control.set_shuffle(false);
    EXPECT_EQ(player.playlists.active_order, 0u);

    player.playlists.orders.clear();
    player.log.take();
    control.set_shuffle(true);
    EXPECT_EQ(player.log.take(), (calls{"orders.count"}));
}

TEST_F(playback_control, shuffle_and_repeat_are_found_case_sensitively) {
    player.playlists.orders = {"Default",       "Shuffle (tracks)", "Repeat (playlist)",
                               "shuffle lower", "repeat lower",     "My Shuffle Repeat"};
    const auto answers = [&](std::size_t order) {
        player.playlists.active_order = order;
        return std::pair{control.is_shuffle(), control.is_repeat()};
    };
    EXPECT_EQ(answers(0), std::pair(false, false));
    EXPECT_EQ(answers(1), std::pair(true, false));
    EXPECT_EQ(answers(2), std::pair(false, true));
    EXPECT_EQ(answers(3), std::pair(false, false));
    EXPECT_EQ(answers(4), std::pair(false, false));
    EXPECT_EQ(answers(5), std::pair(true, true));
    player.log.take();
    control.is_repeat();
    EXPECT_EQ(player.log.take(), (calls{"orders.active", "orders.name(5)"}));
}

class playing_track : public playback_control {
  protected:
    void SetUp() override { player.playlists.add_playlist({"a", "b"}); }
};

TEST_F(playing_track, bitrate_is_read_under_the_information_lock) {
    test::fake_track& track = play(1);
    track.technical = {{"codec", "MP3"}, {"BitRate", " 320 kbps"}, {"bitrate", "128"}};
    EXPECT_EQ(control.get_bitrate(), 320);
    EXPECT_EQ(player.log.take(), (calls{"playback.now_playing", "track(b).lock",
                                        "track(b).get_info", "track(b).unlock"}));
    EXPECT_EQ(track.unlocked_reads(), 0);
}

TEST_F(playing_track, bitrate_text_is_read_as_strtoll_reads_it_and_cut_to_32_bits) {
    test::fake_track& track = play(0);
    const auto bitrate_of = [&](const char* text) {
        track.technical = {{"BITRATE", text}};
        return control.get_bitrate();
    };
    EXPECT_EQ(bitrate_of("192"), 192);
    EXPECT_EQ(bitrate_of("\t+96x"), 96);
    EXPECT_EQ(bitrate_of("-5"), -5);
    EXPECT_EQ(bitrate_of("kbps"), 0);
    EXPECT_EQ(bitrate_of("4294967616"), 320);           // 2^32 + 320
    EXPECT_EQ(bitrate_of("99999999999999999999"), -1);  // saturates, low 32 bits all set

    track.technical = {{"samplerate", "44100"}};
    EXPECT_EQ(control.get_bitrate(), 0);
    track.technical = {{"bitrate", "128"}};
    track.info_readable = false;
    EXPECT_EQ(control.get_bitrate(), 0);
}

TEST_F(playing_track, nothing_playing_gives_zero_and_empty_answers) {
    EXPECT_EQ(control.get_bitrate(), 0);
    EXPECT_EQ(control.get_length(), 0);
    EXPECT_TRUE(control.get_playing_path().is_empty());
    EXPECT_FALSE(control.is_playing());
    EXPECT_EQ(player.log.take(), (calls{"playback.now_playing", "playback.now_playing",
                                        "playback.now_playing", "playback.is_playing"}));
}

TEST_F(playing_track, fixed_detail_values_whatever_plays) {
    EXPECT_EQ(control.get_info_value_2(), 1337);
    EXPECT_EQ(control.get_info_value_3(), 2);
    play(0);
    EXPECT_EQ(control.get_info_value_2(), 1337);
    EXPECT_EQ(control.get_info_value_3(), 2);
    EXPECT_TRUE(player.log.take().empty());
}

TEST_F(playing_track, path_length_and_position_of_the_playing_track) {
    test::fake_track& track = play(1);
    track.length = 215.9;
    player.playback.position = 61.999;
    EXPECT_EQ(control.get_playing_path().view(), "C:\\Music\\b.mp3");
    EXPECT_EQ(control.get_length(), 215);
    EXPECT_EQ(control.get_position(), 61);
    EXPECT_TRUE(control.is_playing());
    EXPECT_FALSE(control.is_paused());
    EXPECT_EQ(player.log.take(),
              (calls{"playback.now_playing", "playback.now_playing", "track(b).lock",
                     "track(b).info_locked", "track(b).unlock", "playback.position",
                     "playback.is_playing", "playback.is_paused"}));
    EXPECT_EQ(track.unlocked_reads(), 0);
}

TEST(host_control_services, a_missing_service_leaves_the_operation_with_references_balanced) {
    test::recording_player player(&corvina::class_guids::playback_service);
    test::host_guard guard(player.host);
    host_control control;
    control.set_title_format(string8("%title%"));
    try {
        string8 title;
        control.get_playing_title(title);
        FAIL() << "no exception";
    } catch (const exception_service_not_found& error) {
        EXPECT_STREQ(error.what(), "Service not found");
    }
    // The title-format service and the compiled script were taken before the failed lookup.
    EXPECT_EQ(player.log.take(), (calls{"title_format.compile(%title%)"}));
    EXPECT_THROW(control.pause(), exception_service_not_found);
    EXPECT_EQ(player.outstanding_references(), 0);
}

TEST(host_control_services, a_doubled_service_is_refused) {
    test::recording_player player;
    player.host.add_service(corvina::class_guids::playlist_service, player.playlists);
    test::host_guard guard(player.host);
    host_control control;
    EXPECT_THROW(control.is_shuffle(), exception_service_duplicated);
    EXPECT_THROW(control.get_playlist_size(), exception_service_duplicated);
    EXPECT_EQ(player.outstanding_references(), 0);
}

}  // namespace
}  // namespace tessel
