#include "host/initquit_bluetooth.h"

#include "host/link_lifecycle.h"
#include "support/boundary.h"

namespace tessel {

void initquit_bluetooth::on_startup() {
    guard_boundary([] { start_link_manager(); });
}

void initquit_bluetooth::on_shutdown() {
    guard_boundary([] { stop_link_manager(); });
}

}  // namespace tessel
