#pragma once
// The link manager: owns the command engine, the player control and (through the engine) the
// serial connection, and the hidden window through which the reader thread hands each command
// to the player's main thread. Created at player start-up, destroyed at shut-down; every
// operation runs on the main thread.

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

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

    // on: creates the hidden window, applies the settings and starts the reader, which opens
    // the port and logs "Activated", and returns at once; when the port cannot be opened the
    // reader asks the main thread to deactivate (end_failed_connection). off: cuts the reply
    // being written, destroys the window, stops the reader and the folder walks,
    // closes the port ("Deactivated"); a reader still opening the port and a walk or a
    // command held in the file system are not waited for: they end by themselves.
    // Asked for while a handed-over command runs (a player service of the command runs the
    // message loop), it takes effect when the command returns: the reader waits for that
    // command, so waiting for the reader now would never end.
    void activate(bool on);

    // Deactivates when the current reader could not open the port.
    void end_failed_connection();

    // Carries out what activate() put off while a command ran. Called when it has returned.
    void settle();

    // Main thread, as a window is destroyed: the link's own window, destroyed while the link is
    // active by anyone but the link, is made again and handed to the reader; one made again
    // that is destroyed again within a second is not made a third time.
    void window_destroyed(corvina::window_handle window);

    bool is_active() const { return active_; }
    // The hidden window; null while the link is inactive.
    corvina::window_handle window() const { return window_; }
    // True while the port is open: the reader has opened it and not lost it since.
    bool is_connected() const;
    phone_link& link() { return *link_; }

  private:
    void stop_reader();

    // Declared before the engine, so that the engine, which uses it, goes first.
    std::unique_ptr<host_control> control_;
    std::unique_ptr<phone_link> link_;
    bluetooth_connection* connection_;  // owned by link_

    // Taken by each reader's open of the port; shared with readers that may outlive the manager.
    std::shared_ptr<std::mutex> opening_turn_ = std::make_shared<std::mutex>();
    std::unique_ptr<link_reader> reader_;
    // Readers stopped while they were opening the port or waiting on the file system, which may
    // take seconds. Each ends by itself when its call returns; the ended ones go at the next
    // activation, the rest are let go at teardown.
    std::vector<std::unique_ptr<link_reader>> stopped_readers_;
    corvina::window_handle window_ = nullptr;
    // When the window was last made again after another's destruction; empty since the link
    // made its own.
    std::optional<std::chrono::steady_clock::time_point> window_made_again_;
    bool active_ = false;
    std::optional<bool> put_off_;  // the last activation asked for while a command ran
};

// The one link manager, between player start-up and shut-down; null otherwise.
extern link_manager* link_manager_instance;

}  // namespace tessel
