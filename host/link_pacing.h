#pragma once
// The protocol's pacing of the link's reader: INFO waits before its hand-off, every hand-off
// is followed by a rest.

#include <chrono>

namespace tessel {

struct link_pacing {
    std::chrono::milliseconds info_delay;
    std::chrono::milliseconds handoff_rest;
};

// Defined alone in link_pacing.cpp, so that a test build of the module can link its own
// definition in its place (an unpaced link runs a whole session in milliseconds).
link_pacing protocol_pacing();

}  // namespace tessel
