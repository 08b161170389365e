#pragma once
// The real link as the player runs it: the link manager on a serial port, its reader thread
// and hand-off window, and this thread serving the hand-offs as the player's main thread does.

#include <chrono>
#include <functional>
#include <string>

#include "tests/common/thread_count.h"

namespace tessel::bench {

// Starts the link manager on the port, as the player does at start-up with auto-connect on,
// listing music_folders, and waits until it has its port open; false, with a line on the
// error stream, when the link did not come up (it is stopped again).
bool start_served_link(const std::string& port, const std::string& music_folders);

// Serves this thread's sent messages until the link has its port open (true), or its
// activation ended or ten seconds passed (false).
bool await_connection();

// Activates the link manager again and waits for its port, as await_connection; false, with a
// line on the error stream and the link manager stopped, when it did not come up.
bool reactivate_link();

// Serves this thread's sent messages for the given time.
void serve_for(std::chrono::milliseconds time);

// What a deactivation costs: how long the call took, and how long until no thread the link
// started since the census was taken was left.
struct deactivation_times {
    double returned_ms = 0;
    double no_link_thread_ms = 0;
};
deactivation_times time_deactivation(const test::thread_census& threads);

// Runs phone_side on a thread of its own while this thread serves the link's hand-offs; when
// phone_side has returned, stops the link manager.
void serve_link_while(const std::function<void()>& phone_side);

}  // namespace tessel::bench
