#include "host/initquit_bluetooth.h"

#include "host/link_lifecycle.h"

namespace tessel {

void initquit_bluetooth::on_startup() {
    start_link_manager();
}

void initquit_bluetooth::on_shutdown() {
    stop_link_manager();
}

}  // namespace tessel
