#include "host/link_lifecycle.h"

#include <utility>

#include "host/link_manager.h"
#include "host/link_window.h"
#include "host/settings.h"

namespace tessel {

namespace {

// The shut-down asked for while a handed-over command ran; main thread only.
bool stop_put_off = false;
// Between start-up and shut-down, whether or not the manager could be made.
bool started = false;

}  // namespace

// The manager is owned through link_manager_instance and deleted by stop_link_manager alone,
// never by a static owner: a player that unloads the component without shutting it down would
// run that owner's teardown inside the module's unload, where waiting for the link's threads
// never ends and the player's services may be gone.
void start_link_manager() {
    started = true;
    link_manager_instance = new link_manager();
    if (cfg_auto_connect != 0) {
        link_manager_instance->activate(true);
    }
}

link_manager* link_manager_to_connect() {
    if (started && link_manager_instance == nullptr) {
        link_manager_instance = new link_manager();
    }
    return link_manager_instance;
}

void stop_link_manager() {
    started = false;
    if (link_manager_instance == nullptr) {
        return;
    }
    if (command_in_progress()) {
        // The command's player service runs the message loop and the reader waits for the
        // command: the link stops once the command has returned.
        stop_put_off = true;
        return;
    }
    link_manager_instance->activate(false);
    // The manager's teardown deactivates once more, as the log shows.
    delete std::exchange(link_manager_instance, nullptr);
}

void settle_link_manager() {
    if (std::exchange(stop_put_off, false)) {
        stop_link_manager();
    } else if (link_manager_instance != nullptr) {
        link_manager_instance->settle();
    }
}

}  // namespace tessel
