#include "host/link_reader.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "host/message_window.h"
#include "protocol/command_code.h"
#include "support/log.h"
#include "transport/bluetooth_connection.h"

namespace tessel {

namespace {

// How long the reader waits before it tries a port that failed outright again.
constexpr std::chrono::milliseconds failed_port_retry{1000};
// The protocol's pacing: INFO waits before its hand-off, every hand-off is followed by a rest.
constexpr std::chrono::milliseconds info_delay{300};
constexpr std::chrono::milliseconds handoff_rest{100};

}  // namespace

// Shared by the thread and its owner, so that a reader let go still has it when it returns.
struct link_reader::state {
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::atomic<bool> ended{false};

    bool stopped() {
        const std::lock_guard<std::mutex> lock(mutex);
        return stopping;
    }

    void stop() {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_all();
    }

    // Sleeps up to the given time; false when the reader was told to stop meanwhile.
    bool pause(std::chrono::milliseconds time) {
        std::unique_lock<std::mutex> lock(mutex);
        return !wake.wait_for(lock, time, [this] { return stopping; });
    }
};

link_reader::link_reader(bluetooth_connection& port, corvina::window_handle window)
    : state_(std::make_shared<state>()) {
    thread_ = std::thread([shared = state_, &port, window] { run(shared, port, window); });
}

link_reader::~link_reader() {
    stop();
}

void link_reader::stop() {
    if (!thread_.joinable()) {
        return;
    }
    state_->stop();
    // The reader may be waiting for this very thread to run its hand-off: serve it (the window
    // is gone by now, so the hand-off fails at once) until the reader has ended.
    wait_serving_sent_messages([this] { return state_->ended.load(); });
    thread_.join();
}

void link_reader::let_go() {
    if (!thread_.joinable()) {
        return;
    }
    state_->stop();
    thread_.detach();
}

void link_reader::run(const std::shared_ptr<state>& shared, bluetooth_connection& port,
                      corvina::window_handle window) {
    state& reader = *shared;
    bool port_failure_logged = false;
    while (!reader.stopped()) {
        std::uint8_t bytes[4] = {0, 0, 0, 0};
        const int got = port.read(bytes, sizeof bytes);
        if (reader.stopped()) {
            break;  // a read cut short by the deactivation
        }
        if (port.last_read_failed()) {
            // The port has gone: say so once, and retry calmly rather than spin.
            if (!port_failure_logged) {
                log_error("Read error!");
                port_failure_logged = true;
            }
            reader.pause(failed_port_retry);
            continue;
        }
        port_failure_logged = false;
        if (got == 0) {
            continue;  // an idle link
        }
        if (got != 4) {
            log_error("Read error!");
            continue;
        }
        const command_code code = command_code_from_wire(bytes);
        if (!is_known_command(code)) {
            // Out of step: what waits is the rest of the noise. Reading on at once, a phone
            // that goes quiet for a moment is in step again with its next command.
            port.discard_input();
            send_window_message(window, app_message, 0, static_cast<std::intptr_t>(code));
            continue;
        }
        if (code == commands::info && !reader.pause(info_delay)) {
            break;
        }
        // After this returns the reader may have been let go: only its own state is used.
        send_window_message(window, app_message, 0, static_cast<std::intptr_t>(code));
        reader.pause(handoff_rest);
    }
    reader.ended.store(true);
}

}  // namespace tessel
