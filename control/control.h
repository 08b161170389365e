#pragma once
// The player operations the command engine drives. Operations report no errors: an action
// without a target does nothing, a query answers 0, false or empty text. All are called on the
// player's main thread only.

#include <cstdint>
#include <vector>

#include "support/string8.h"

namespace tessel {

class control {
  public:
    virtual void fade_out() = 0;                    // slot 0
    virtual void fast_forward(int seconds) = 0;     // slot 1
    virtual void rewind(int seconds) = 0;           // slot 2
    virtual void next(bool random_in_shuffle) = 0;  // slot 3
    virtual void previous() = 0;                    // slot 4
    virtual void pause() = 0;                       // slot 5
    virtual void stop() = 0;                        // slot 6
    virtual void play_file(string8 path) = 0;       // slot 7
    virtual void start() = 0;                       // slot 8
    virtual int get_playlist_size() = 0;            // slot 9
    // One entry per item, each ending in a line feed; at most 65535 items are asked for.
    virtual std::vector<string8> get_playlist_titles() = 0;  // slot 10
    virtual void add_file(string8 path) = 0;                 // slot 11
    virtual void play_track(int index) = 0;                  // slot 12
    virtual void remove_all() = 0;                           // slot 13
    virtual void set_repeat(bool on) = 0;                    // slot 14
    virtual void set_shuffle(bool on) = 0;                   // slot 15
    virtual void seek(int seconds) = 0;                      // slot 16
    virtual void set_stop_at_end(bool on) = 0;               // slot 17
    virtual void set_volume(std::uint8_t level) = 0;         // slot 18
    virtual std::uint8_t get_volume() = 0;                   // slot 19
    virtual int get_bitrate() = 0;                           // slot 20
    virtual int get_info_value_2() = 0;                      // slot 21
    virtual int get_info_value_3() = 0;                      // slot 22
    virtual string8 get_playing_path() = 0;                  // slot 23
    virtual int get_position() = 0;                          // slot 24
    virtual int get_length() = 0;                            // slot 25
    virtual bool is_shuffle() = 0;                           // slot 26
    virtual bool is_repeat() = 0;                            // slot 27
    virtual void get_playing_title(string8& out) = 0;        // slot 28
    virtual bool is_paused() = 0;                            // slot 29
    virtual bool is_playing() = 0;                           // slot 30
    virtual int get_playing_index() = 0;                     // slot 31

    // Last, so that the 32 operations above keep their slots.
    virtual ~control() = default;
};

}  // namespace tessel
