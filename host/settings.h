#pragma once
// The component's seven settings. They hold their defaults until the player loads the stored
// configuration at start-up; the preferences page changes them at once.

#include "host/cfg_var.h"

namespace tessel {

extern cfg_string cfg_com_port;                   // serial port the link opens
extern cfg_string cfg_music_directory;            // folders offered for browsing, separated by ";"
extern cfg_string cfg_title_format;               // title-format script of a playlist line
extern cfg_int_t<int> cfg_auto_connect;           // non-zero: connect when the player starts
extern cfg_int_t<int> cfg_shuffle_next_random;    // non-zero: "next" in shuffle picks at random
extern cfg_int_t<int> cfg_use_specific_playlist;  // non-zero: activate cfg_specific_playlist
extern cfg_int_t<int> cfg_specific_playlist;      // playlist index, -1 when none is chosen

}  // namespace tessel
