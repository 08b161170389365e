#pragma once
// The reader thread of one activation: reads four-byte command codes from the port and hands
// each to the player's main thread through the hidden window, with the protocol's pacing (a
// rest before INFO and after every hand-off). A code that is not a command means the stream
// is out of step: what waits on the line is dropped and the reader reads on at once.

#include <memory>
#include <thread>

#include "corvina/platform_types.h"

namespace tessel {

class bluetooth_connection;

class link_reader {
  public:
    // Starts the thread; throws std::system_error when it cannot. The port must stay open
    // until the reader has stopped.
    link_reader(bluetooth_connection& port, corvina::window_handle window);
    link_reader(const link_reader&) = delete;
    link_reader& operator=(const link_reader&) = delete;
    // Stops the reader, unless it was let go.
    ~link_reader();

    // Tells the reader to stop and waits for its thread, serving the calling (main) thread's
    // sent messages meanwhile: a reader in its hand-off needs that to return. Takes at most one
    // read when the port's I/O is not cancelled.
    void stop();

    // For a reader that waits in a hand-off the calling thread is itself running, so that
    // waiting for it would never end: tells it to stop and leaves it to end on its own as soon
    // as the hand-off returns. It touches nothing but its own state from then on.
    void let_go();

  private:
    struct state;
    static void run(const std::shared_ptr<state>& shared, bluetooth_connection& port,
                    corvina::window_handle window);

    std::shared_ptr<state> state_;
    std::thread thread_;
};

}  // namespace tessel
