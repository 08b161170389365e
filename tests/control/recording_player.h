#pragma once
// A player for host_control tests: playback, playlist, title-format and location-import
// services over a small model (playlists of tracks, playback orders, a playing track), every
// call written to one shared log in the order it was made.
//
//   recording_player player;                   // registers all four services
//   host_guard guard(player.host);
//   player.playlists.add_playlist({"a", "b"});  // tracks named a and b
//   ...operations under test...
//   EXPECT_EQ(player.log.take(), (calls{"playback.is_paused", "playback.set_paused(1)"}));
//   EXPECT_EQ(player.outstanding_references(), 0);
//
// Titles are formatted as "<script>|<track name>" so a test sees which script was used.

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/common/fake_host.h"

namespace tessel::test {

using calls = std::vector<std::string>;

class call_log {
  public:
    void add(std::string call) { calls_.push_back(std::move(call)); }
    // The calls so far; the log starts again empty.
    calls take() { return std::exchange(calls_, {}); }

  private:
    calls calls_;
};

class fake_track final : public counted_service<corvina::track> {
  public:
    fake_track(call_log& log, std::string name, std::string path);

    const corvina::location& get_location() const override { return location_; }
    bool format_title(corvina::title_hook* hook, corvina::string_base& out,
                      corvina::title_script* script, corvina::title_filter* filter) override;
    void lock_info() override;
    void unlock_info() override;
    bool get_info(corvina::info_record& out) const override;
    const corvina::track_info* get_info_locked() const override;

    const std::string& name() const { return name_; }
    const std::string& path() const { return location_.path; }
    // Information reads made without holding the lock.
    int unlocked_reads() const { return unlocked_reads_; }

    std::vector<std::pair<std::string, std::string>> technical;
    double length = 0.0;
    bool info_readable = true;

  private:
    struct path_location final : corvina::location {
        const char* get_path() const override { return path.c_str(); }
        std::string path;
    };
    struct length_info final : corvina::track_info {
        double get_length() const override { return owner->length; }
        const fake_track* owner = nullptr;
    };

    void check_locked() const;

    call_log& log_;
    std::string name_;
    path_location location_;
    length_info info_;
    int locks_ = 0;
    mutable int unlocked_reads_ = 0;
};

class fake_script final : public counted_service<corvina::title_script> {
  public:
    explicit fake_script(std::string script) : text(std::move(script)) {}
    std::string text;
};

// Owns every track and script the player makes; they live as long as the player.
class object_store {
  public:
    fake_track& make_track(call_log& log, std::string name, std::string path);
    fake_script& make_script(std::string text);
    int outstanding_references() const;

  private:
    std::deque<std::unique_ptr<fake_track>> tracks_;
    std::deque<std::unique_ptr<fake_script>> scripts_;
};

class fake_playback final : public counted_service<corvina::playback_service> {
  public:
    explicit fake_playback(call_log& log) : log_(log) {}

    bool get_now_playing(corvina::track*& out) override;
    void start(corvina::start_command command, bool paused) override;
    void stop() override;
    bool is_playing() override;
    bool is_paused() override;
    void set_paused(bool paused) override;
    void set_stop_at_end(bool on) override;
    void set_volume(float db) override;
    float get_volume() override;
    void seek(double seconds) override;
    void seek_delta(double seconds) override;
    bool can_seek() override;
    double get_position() override;
    bool format_title(corvina::title_hook* hook, corvina::string_base& out,
                      corvina::title_script* script, corvina::title_filter* filter,
                      int display_level) override;

    fake_track* playing = nullptr;
    bool paused = false;
    bool seekable = true;
    float volume = 0.0f;
    double position = 0.0;

  private:
    call_log& log_;
};

class fake_playlists final : public counted_service<corvina::playlist_service> {
  public:
    fake_playlists(call_log& log, object_store& store, fake_playback& playback)
        : log_(log), store_(store), playback_(playback) {}

    // A playlist of new tracks with these names (paths "C:\\Music\\<name>.mp3"); the first
    // one added becomes active. Answers its index.
    std::size_t add_playlist(const std::vector<std::string>& names);
    std::vector<std::string> item_names(std::size_t playlist) const;
    fake_track& item(std::size_t playlist, std::size_t index) { return *lists_[playlist][index]; }

    std::size_t get_playlist_count() override { return lists_.size(); }
    std::size_t get_active_playlist() override;
    void set_active_playlist(std::size_t playlist) override;
    std::size_t playlist_get_item_count(std::size_t playlist) override;
    void playlist_enum_items(std::size_t playlist, corvina::item_callback& callback,
                             const corvina::selection_mask& mask) override;
    bool playlist_get_name(std::size_t playlist, corvina::string_base& out) override;
    bool playlist_remove_items(std::size_t playlist, const corvina::selection_mask& mask) override;
    void playlist_set_focus_item(std::size_t playlist, std::size_t item) override;
    std::size_t playlist_insert_items(std::size_t playlist, std::size_t position,
                                      const corvina::track_list& items,
                                      const corvina::selection_mask& select) override;
    bool get_playing_item_location(std::size_t* playlist, std::size_t* item) override;
    std::size_t playback_order_get_count() override;
    const char* playback_order_get_name(std::size_t index) override;
    std::size_t playback_order_get_active() override;
    void playback_order_set_active(std::size_t index) override;
    bool playlist_play_item(std::size_t playlist, std::size_t item) override;

    std::size_t active = corvina::no_index;
    std::vector<std::string> orders{"Default", "Repeat (playlist)", "Repeat (track)",
                                    "Shuffle (tracks)", "Shuffle (albums)"};
    std::size_t active_order = 0;
    std::optional<std::pair<std::size_t, std::size_t>> playing_at;
    // Selection state the last insert asked for, per new item.
    std::vector<bool> last_insert_selected;

  private:
    call_log& log_;
    object_store& store_;
    fake_playback& playback_;
    std::vector<std::vector<fake_track*>> lists_;
};

class fake_title_format final : public counted_service<corvina::title_format_service> {
  public:
    fake_title_format(call_log& log, object_store& store) : log_(log), store_(store) {}
    bool compile(corvina::title_script*& out, const char* script) override;

  private:
    call_log& log_;
    object_store& store_;
};

class fake_location_import final : public counted_service<corvina::location_import_service> {
  public:
    fake_location_import(call_log& log, object_store& store) : log_(log), store_(store) {}
    bool process_locations(const corvina::string_list& locations, corvina::track_list& out,
                           bool filter, const char* restrict_mask, const char* exclude_mask,
                           corvina::window_handle parent) override;

    bool accept = true;
    // Runs inside each import, as a long import's progress window runs the message loop.
    std::function<void()> while_importing;

  private:
    call_log& log_;
    object_store& store_;
};

class recording_player {
  public:
    // Registers every service but the one of class left_out, if given.
    explicit recording_player(const corvina::guid* left_out = nullptr);
    recording_player(const recording_player&) = delete;
    recording_player& operator=(const recording_player&) = delete;

    // References held right now on the services, tracks and scripts together.
    int outstanding_references() const;

    call_log log;
    object_store store;
    fake_playback playback{log};
    fake_playlists playlists{log, store, playback};
    fake_title_format title_format{log, store};
    fake_location_import location_import{log, store};
    fake_host host;
};

}  // namespace tessel::test
