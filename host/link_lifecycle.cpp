#include "host/link_lifecycle.h"

#include <memory>

#include "host/link_manager.h"
#include "host/settings.h"

namespace tessel {

namespace {

std::unique_ptr<link_manager>& link_manager_owner() {
    static std::unique_ptr<link_manager> owner;
    return owner;
}

}  // namespace

void start_link_manager() {
    link_manager_owner() = std::make_unique<link_manager>();
    link_manager_instance = link_manager_owner().get();
    if (cfg_auto_connect != 0) {
        link_manager_instance->activate(true);
    }
}

void stop_link_manager() {
    if (link_manager_instance == nullptr) {
        return;
    }
    link_manager_instance->activate(false);
    // The manager's teardown deactivates once more, as the log shows.
    link_manager_owner().reset();
    link_manager_instance = nullptr;
}

}  // namespace tessel
