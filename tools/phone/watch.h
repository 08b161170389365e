#pragma once
// `watch`: follows the player. On a terminal, a small display redrawn in place: the title, a
// bar with the position and the length, playing or paused, the volume, shuffle and repeat.
// Otherwise (or with --json) one line for each change. Asks INF2 and GVOL twice a second, well
// within the pace the PC reads at; ends with 'q' or Ctrl-C.

#include <iosfwd>

#include "tools/phone/command_line.h"
#include "tools/phone/phone_session.h"

namespace tessel::phone {

// Runs until the person ends it (an ok result) or an exchange fails (that exchange's result).
exchange_result run_watch(phone_session& session, const tool_options& options, std::ostream& out);

// What the display shows for a status and volume, as lines without line ends, each at most
// columns - 1 characters wide.
std::vector<std::string> watch_display(const status_reply& status, int volume, int columns);

}  // namespace tessel::phone
