#pragma once
// Bringing the phone link up with the player and down again. Called on the player's main
// thread by the start-up service.

namespace tessel {

// At player start-up, after the stored settings were loaded.
void start_link_manager();

// At player shut-down; leaves no thread and no window behind.
void stop_link_manager();

}  // namespace tessel
