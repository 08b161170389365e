#pragma once
// What the preferences page asks of the running link: push the settings to it, and disconnect
// and connect again. By default these go to the link manager (nothing while there is none);
// a player without a link, or a test, can put its own in their place.

namespace tessel {

class link_actions {
  public:
    virtual void apply_settings() = 0;
    virtual void activate(bool on) = 0;

  protected:
    ~link_actions() = default;
};

// The actions the page uses now.
link_actions& preferences_link_actions();

// Puts actions in place of the link manager's (null: the link manager's again); answers the
// ones replaced. Main thread only, as the page itself.
link_actions* replace_preferences_link_actions(link_actions* actions);

}  // namespace tessel
