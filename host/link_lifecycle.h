#pragma once
// Bringing the phone link up with the player and down again. Called on the player's main
// thread by the start-up service.

namespace tessel {

class link_manager;

// At player start-up, after the stored settings were loaded.
void start_link_manager();

// For a Connect: the manager, made now when start-up could not make it (it ran out of memory);
// null outside start-up and shut-down. Throws what making it throws.
link_manager* link_manager_to_connect();

// At player shut-down; leaves no thread and no window behind. Asked for while a handed-over
// command runs, it takes effect when the command returns.
void stop_link_manager();

// Carries out what was put off while a handed-over command ran. Called when it has returned.
void settle_link_manager();

}  // namespace tessel
