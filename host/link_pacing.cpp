#include "host/link_pacing.h"

namespace tessel {

// Keep this file to this one definition: see link_pacing.h.
link_pacing protocol_pacing() {
    return {std::chrono::milliseconds{300}, std::chrono::milliseconds{100}};
}

}  // namespace tessel
