#include "host/link_lifecycle.h"

namespace tessel {

// Nothing to bring up yet: the link manager is not part of this build.
void start_link_manager() {}

void stop_link_manager() {}

}  // namespace tessel
