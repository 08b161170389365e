#include "host/preferences_actions.h"

#include "host/link_lifecycle.h"
#include "host/link_manager.h"

namespace tessel {

namespace {

class link_manager_actions final : public link_actions {
  public:
    void apply_settings() override {
        if (link_manager_instance != nullptr) {
            link_manager_instance->apply_settings();
        }
    }
    void activate(bool on) override {
        if (link_manager* manager = on ? link_manager_to_connect() : link_manager_instance) {
            manager->activate(on);
        }
    }
};

link_actions* replacement = nullptr;

}  // namespace

link_actions& preferences_link_actions() {
    static link_manager_actions manager_actions;
    return replacement != nullptr ? *replacement : manager_actions;
}

link_actions* replace_preferences_link_actions(link_actions* actions) {
    link_actions* previous = replacement;
    replacement = actions;
    return previous;
}

}  // namespace tessel
