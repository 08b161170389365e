#include "host/link_manager.h"

#include <cstring>
#include <system_error>

#include "control/host_control.h"
#include "corvina/shared.h"
#include "host/link_window.h"
#include "host/message_window.h"
#include "host/settings.h"
#include "protocol/command_code.h"
#include "protocol/phone_link.h"
#include "support/host_access.h"
#include "support/log.h"
#include "transport/bluetooth_connection.h"

namespace tessel {

link_manager* link_manager_instance = nullptr;

namespace {

constexpr const char* window_class_name = "tessel_link";

// How long the reader waits before it tries a port that failed outright again.
constexpr std::chrono::milliseconds failed_port_retry{1000};
// The protocol's pacing: INFO waits before its hand-off, every hand-off is followed by a rest.
constexpr std::chrono::milliseconds info_delay{300};
constexpr std::chrono::milliseconds handoff_rest{100};

}  // namespace

link_manager::link_manager() {
    log_info("Initializing");
    auto port = std::make_unique<bluetooth_connection>();
    connection_ = port.get();
    control_ = std::make_unique<host_control>();
    link_ = std::make_unique<phone_link>(std::move(port), *control_);
}

link_manager::~link_manager() {
    log_info("Terminating");
    activate(false);
    unregister_window_class(window_class_name, host().instance);
}

void link_manager::apply_settings() {
    link_->set_music_folders(cfg_music_directory.get());
    link_->set_next_random(cfg_shuffle_next_random != 0);
    control_->set_title_format(cfg_title_format.get());
}

void link_manager::activate(bool on) {
    if (on && reader_running_.load()) {
        activate(false);  // a second reader would race the first for the port
    }
    {
        // Under the lock: a reader between testing active_ and starting its wait would
        // otherwise miss the wake and sleep its whole pause.
        const std::lock_guard<std::mutex> lock(wake_mutex_);
        active_.store(on);
    }
    if (!on) {
        wake_.notify_all();
        destroy_window(window_.exchange(nullptr));
        stop_reader();
        link_->join_list_worker(false);
        connection_->close();
        log_info("Deactivated");
        return;
    }

    register_window_class(window_class_name, link_window_proc, host().instance);
    corvina::window_handle window =
        uCreateWindowEx(0, window_class_name, window_class_name, 0,
                        corvina::win32_values::cw_usedefault, corvina::win32_values::cw_usedefault,
                        0, 0, host_main_window(), nullptr, host().instance, nullptr);
    if (window == nullptr) {
        log_error("couldn't create window");
    }
    window_.store(window);
    link_->join_list_worker(true);
    apply_settings();
    connection_->set_port_name(cfg_com_port.get());
    if (connection_->open()) {
        reader_running_.store(true);
        try {
            reader_thread_ = std::thread([this] { run_reader(); });
        } catch (const std::system_error& error) {
            // No reader, no link: close the port again rather than look connected.
            reader_running_.store(false);
            log_error(error.what());
            activate(false);
            return;
        }
        log_info("Activated");
    } else {
        log_error("Could not connect!");
        activate(false);
    }
}

void link_manager::stop_reader() {
    if (!reader_thread_.joinable()) {
        return;
    }
    // The reader may be waiting for this very thread to run its hand-off: serve it (the window
    // is gone, so the hand-off fails at once) until the reader has seen active_ clear, which
    // takes at most one read time-out.
    wait_serving_sent_messages([this] { return !reader_running_.load(); });
    reader_thread_.join();
}

bool link_manager::pause_while_active(std::chrono::milliseconds time) {
    std::unique_lock<std::mutex> lock(wake_mutex_);
    return !wake_.wait_for(lock, time, [this] { return !active_.load(); });
}

void link_manager::run_reader() {
    bool port_failure_logged = false;
    while (active_.load()) {
        std::uint8_t bytes[4] = {0, 0, 0, 0};
        const int got = connection_->read(bytes, sizeof bytes);
        if (connection_->last_read_failed()) {
            // The port has gone: say so once, and retry calmly rather than spin.
            if (!port_failure_logged) {
                log_error("Read error!");
                port_failure_logged = true;
            }
            pause_while_active(failed_port_retry);
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
        if (code == commands::info && !pause_while_active(info_delay)) {
            break;
        }
        send_window_message(window_.load(), app_message, 0, static_cast<std::intptr_t>(code));
        pause_while_active(handoff_rest);
    }
    reader_running_.store(false);
}

}  // namespace tessel
