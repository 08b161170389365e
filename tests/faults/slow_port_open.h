#pragma once
// A test double of the wrapper library's uCreateFile for this test program: an open of the
// name being held waits until it is released, as opening a Bluetooth port waits seconds for a
// phone that is away; every other open goes to the library as it is.

#include <chrono>
#include <string>

namespace tessel::test::slow_port_open {

// Opens of path wait from now until release(), or until the limit, after which they go on
// (so that a component that opens on the wrong thread fails the test instead of hanging it).
void hold(const std::string& path, std::chrono::milliseconds limit = std::chrono::seconds(20));
void release();

// Waits until at least one open of the held path is waiting; false after the limit.
bool await_waiting_open(std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace tessel::test::slow_port_open
