#pragma once
// Simulated playback: no audio, but a playing track, a position that advances with a clock
// and moves on to the next track (after the active playback order) at the end of a track,
// pause, seek, stop-at-end and a volume.

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "standin/player/playlist_model.h"

namespace standin {

// Seconds on a steady clock; injectable so tests need no sleeps.
using clock_function = std::function<double()>;
double steady_clock_seconds();

// Start codes of the playback service.
enum class start_code : int { play = 1, next = 2, previous = 3, random = 5 };

class playback_model {
  public:
    playback_model(playlist_model& playlists, clock_function clock, std::uint32_t seed);

    void start(start_code code, bool paused);
    // Plays an item of any playlist; false for an item that does not exist.
    bool play_item(std::size_t list, std::size_t index, bool paused = false);
    void stop();

    bool is_playing();  // true while paused too
    bool is_paused();
    void set_paused(bool paused);

    void set_stop_at_end(bool on) { stop_at_end_ = on; }
    bool stop_at_end() const { return stop_at_end_; }

    void set_volume(float db);
    float volume() const { return volume_; }

    bool can_seek();
    void seek(double seconds);
    void seek_delta(double seconds);
    double position();

    // The playing track (also while paused); null when stopped.
    track_object* now_playing();

    // Brings the position up to the clock, moving on at each track end that passed.
    void update();

  private:
    struct list_position {
        std::size_t list;
        std::size_t index;
    };

    // The playlist and item next/previous start from: the playing item, else the focus of the
    // active playlist, else its first item.
    std::optional<list_position> reference();
    std::optional<std::size_t> following(std::size_t list, std::size_t index, bool by_user);
    std::optional<std::size_t> preceding(std::size_t list, std::size_t index);
    std::size_t random_index(std::size_t count, std::size_t avoid);
    const std::vector<std::size_t>& shuffled(std::size_t list);
    double raw_position() const;
    void begin_track(std::size_t list, std::size_t index, double at_position, bool paused);

    playlist_model& playlists_;
    clock_function clock_;
    std::mt19937 random_;

    service_ptr<track_object> playing_;
    bool paused_ = false;
    double base_position_ = 0.0;  // position when playback last started or was moved
    double base_time_ = 0.0;      // clock time of base_position_
    bool stop_at_end_ = false;
    float volume_ = 0.0f;

    std::vector<list_position> random_history_;

    // The shuffle permutation of one playlist, made again when the list or the order changes.
    std::vector<std::size_t> shuffle_;
    std::size_t shuffle_list_ = no_index;
    std::uint64_t shuffle_generation_ = 0;
    playback_order shuffle_order_ = playback_order::default_order;
};

}  // namespace standin
