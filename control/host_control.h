#pragma once
// The player operations carried out on the player's own services. Every operation looks up
// the services it needs when it starts and releases them, and every track it obtained, before
// it returns, also when an exception leaves; nothing from the player is kept between calls.
// Lookup failures ("Service not found", "Service duplicated", "Bug check") leave the operation.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "control/control.h"
#include "corvina/services.h"
#include "support/service_ptr.h"
#include "support/string8.h"

namespace tessel {

class host_control : public control {
  public:
    // The 32 operations, in slot order.
    void fade_out() override;
    void fast_forward(int seconds) override;
    void rewind(int seconds) override;
    void next(bool random_in_shuffle) override;
    void previous() override;
    void pause() override;
    void stop() override;
    void play_file(string8 path) override;
    void start() override;
    int get_playlist_size() override;
    std::vector<string8> get_playlist_titles() override;
    void add_file(string8 path) override;
    void play_track(int index) override;
    void remove_all() override;
    void set_repeat(bool on) override;
    void set_shuffle(bool on) override;
    void seek(int seconds) override;
    void set_stop_at_end(bool on) override;
    void set_volume(std::uint8_t level) override;
    std::uint8_t get_volume() override;
    int get_bitrate() override;
    int get_info_value_2() override;
    int get_info_value_3() override;
    string8 get_playing_path() override;
    int get_position() override;
    int get_length() override;
    // The answer is remembered for next().
    bool is_shuffle() override;
    bool is_repeat() override;
    void get_playing_title(string8& out) override;
    bool is_paused() override;
    bool is_playing() override;
    // 0 when nothing plays from a playlist.
    int get_playing_index() override;

    // The title-format script for get_playing_title and get_playlist_titles; compiled afresh
    // at each use.
    void set_title_format(string8 script);
    // Activates the lowest-numbered playback order whose name begins with name; nothing when
    // none does.
    void set_playback_order(string8 name);

  private:
    // Steps on the active playlist; each does nothing (and answers 0, false or no track)
    // when the player has no active playlist.
    std::size_t active_item_count();
    service_ptr<corvina::track> active_item_track(std::size_t index);
    void focus_active_item(std::size_t index);
    bool play_active_item(std::size_t index);
    void remove_all_active_items();
    bool insert_location(const string8& location, bool select);

    // Whether the name of the active playback order contains word (bytes compared exactly).
    bool active_order_contains(const char* word);

    bool shuffle_seen = false;
    string8 title_format;
};

}  // namespace tessel
