#pragma once
// The link manager: owns the command engine, the player control and (through the engine) the
// serial connection, and the hidden window through which the reader thread hands each command
// to the player's main thread. Created at player start-up, destroyed at shut-down; every
// operation runs on the main thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "corvina/platform_types.h"

namespace tessel {

class bluetooth_connection;
class host_control;
class phone_link;

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
    // reader ("Activated"), or deactivates again when the port cannot be opened. off: destroys
    // the window, waits for the reader and a running folder walk, closes the port
    // ("Deactivated").
    void activate(bool on);

    bool is_active() const { return active_.load(); }
    phone_link& link() { return *link_; }

  private:
    void run_reader();
    // Sleeps up to the given time; false when the link was deactivated meanwhile.
    bool pause_while_active(std::chrono::milliseconds time);
    void stop_reader();

    // Declared before the engine, so that the engine, which uses it, goes first.
    std::unique_ptr<host_control> control_;
    std::unique_ptr<phone_link> link_;
    bluetooth_connection* connection_;  // owned by link_

    std::thread reader_thread_;
    std::atomic<bool> reader_running_{false};
    std::atomic<corvina::window_handle> window_{nullptr};
    std::atomic<bool> active_{false};
    std::mutex wake_mutex_;
    std::condition_variable wake_;
};

// The one link manager, between player start-up and shut-down; null otherwise.
extern link_manager* link_manager_instance;

}  // namespace tessel
