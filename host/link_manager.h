#pragma once
// The link manager: owns the command engine, the player control and (through the engine) the
// serial connection, and the hidden window through which the reader thread hands each command
// to the player's main thread. Created at player start-up, destroyed at shut-down; every
// operation runs on the main thread.

#include <memory>
#include <optional>

#include "corvina/platform_types.h"

namespace tessel {

class bluetooth_connection;
class host_control;
class phone_link;
class link_reader;

class link_manager {
  public:
    // Logs "Initializing".
    link_manager();
    link_manager(const link_manager&) = delete;
    link_manager& operator=(const link_manager&) = delete;
    // Logs "Terminating" and deactivates.
    ~link_manager();

    // Pushes the music folders, the next-random switch and the title format to the engine.
    void apply_settings();

    // on: creates the hidden window, applies the settings, opens the port and starts the
    // reader ("Activated"), or deactivates again when the port cannot be opened. off: cuts the
    // reply being written, destroys the window, waits for the reader and a running folder
    // walk, closes the port ("Deactivated"). Asked for while a handed-over command runs (a
    // player service of the command runs the message loop), it takes effect when the command
    // returns: the reader waits for that command, so waiting for the reader now would never
    // end.
    void activate(bool on);

    // Carries out what activate() put off while a command ran. Called when it has returned.
    void settle();

    bool is_active() const { return active_; }
    phone_link& link() { return *link_; }

  private:
    void stop_reader();

    // Declared before the engine, so that the engine, which uses it, goes first.
    std::unique_ptr<host_control> control_;
    std::unique_ptr<phone_link> link_;
    bluetooth_connection* connection_;  // owned by link_

    std::unique_ptr<link_reader> reader_;
    corvina::window_handle window_ = nullptr;
    bool active_ = false;
    std::optional<bool> put_off_;  // the last activation asked for while a command ran
};

// The one link manager, between player start-up and shut-down; null otherwise.
extern link_manager* link_manager_instance;

}  // namespace tessel
