#pragma once
// The link's own thread for one activation: opens the port, then reads four-byte command codes
// from it and hands each to the player's main thread through the hidden window, with the
// protocol's pacing (a rest before INFO and after every hand-off). A code that is not a
// command means the stream is out of step: what waits on the line is dropped and the reader
// reads on at once. A port that goes away (the phone out of range, asleep) is closed and
// opened again by its name about once a second until it is back.
//
// Opening happens here, never on the player's main thread: a Bluetooth port connects to the
// phone while it opens, which takes seconds when the phone is away. So does the file-system
// part of a command (a folder's listing, a file's search) that the main thread leaves behind:
// the reader makes that reply before it rests and reads the next command, so replies keep
// their order and pacing.

#include <memory>
#include <mutex>

#include "corvina/platform_types.h"
#include "support/module_thread.h"
#include "support/string8.h"

namespace tessel {

class bluetooth_connection;

class link_reader {
  public:
    // Starts the thread; throws std::system_error when it cannot. The thread logs "Connecting
    // to serial port <name>" and "Connected." then "Activated"; when the port cannot be
    // opened, "Could not connect!", and it sends connect_failed_message to the window so that
    // the main thread deactivates. Opens of the port by every reader of one connection take
    // turns through opening_turn, so that a reader let go in a slow open never holds the port
    // against the next one. The port must stay open until the reader has stopped or been let
    // go.
    link_reader(bluetooth_connection& port, string8 port_name, corvina::window_handle window,
                std::shared_ptr<std::mutex> opening_turn);
    link_reader(const link_reader&) = delete;
    link_reader& operator=(const link_reader&) = delete;
    // Stops the reader as stop() does, and lets it go when it is held in a system call.
    ~link_reader();

    // Tells the reader to stop: it opens, reads and hands over nothing more. Its rests end at
    // once; a read in progress ends with the port's cancellation, or its time-out.
    void request_stop();

    // Stops the reader and waits for its thread, serving the calling (main) thread's sent
    // messages meanwhile: a reader in its hand-off needs that to return. A reader that is
    // opening the port, waiting on the file system or waiting with a DLST reply for a LIST's
    // walk is not waited for, since each may take seconds: answers false, and the reader ends by
    // itself once that call returns, closing what it opened and touching nothing but its own state
    // from then on.
    bool stop();

    // For a reader that waits in a hand-off the calling thread is itself running, so that
    // waiting for it would never end: tells it to stop and leaves it to end on its own as soon
    // as the hand-off returns. It touches nothing but its own state from then on.
    void let_go();

    // True once the thread has nothing left to do.
    bool has_ended() const;

    // True when this reader's first open failed: its activation is over.
    bool could_not_connect() const;

    // The window hand-offs go to from now on: the old one was destroyed and made again. A
    // hand-off that could not reach the main thread is logged once and tried again with it.
    void use_window(corvina::window_handle window);

  private:
    struct state;
    class session;

    std::shared_ptr<state> state_;
    module_thread thread_;
};

}  // namespace tessel
