#pragma once
// One run of the stand-in player: load the component, start it, serve it until told to stop,
// shut it down, save its settings, unload it.

#include "standin/player/command_line.h"

namespace standin {

// Answers the process exit status (0 success, 1 failure). Progress and the component's console
// go to standard output; failures to standard error.
int run_player(const player_options& options);

}  // namespace standin
