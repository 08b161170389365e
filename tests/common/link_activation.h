#pragma once
// Activation returns before the link's thread has opened the port. A test that talks to the
// phone right away waits for the link to be up first: bytes sent before the port is in raw
// mode would be echoed or translated by the terminal.

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "host/link_manager.h"
#include "host/message_window.h"
#include "tests/common/fake_host.h"

namespace tessel::test {

// Runs activate (by default the link manager's activation) and serves the main thread's sent
// messages until the reader logs "Activated" (true) or the activation ends otherwise, or the
// limit passes (false).
inline bool activate_and_await(
    const recording_console& console,
    const std::function<void()>& activate = [] { link_manager_instance->activate(true); },
    std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto count = [&console](const char* line) {
        const std::vector<std::string> lines = console.lines();
        return std::count(lines.begin(), lines.end(), line);
    };
    const auto activated_before = count("Activated");
    activate();
    // An activation over an active link deactivates it first.
    const auto deactivated_before = count("Deactivated");
    const auto deadline = std::chrono::steady_clock::now() + limit;
    wait_serving_sent_messages([&] {
        return count("Activated") > activated_before || count("Deactivated") > deactivated_before ||
               std::chrono::steady_clock::now() >= deadline;
    });
    return count("Activated") > activated_before;
}

}  // namespace tessel::test
