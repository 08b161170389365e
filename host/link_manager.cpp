#include "host/link_manager.h"

#include <utility>
#include <vector>

#include "control/host_control.h"
#include "corvina/shared.h"
#include "host/link_reader.h"
#include "host/link_window.h"
#include "host/message_window.h"
#include "host/settings.h"
#include "protocol/phone_link.h"
#include "support/boundary.h"
#include "support/host_access.h"
#include "support/log.h"
#include "transport/bluetooth_connection.h"

namespace tessel {

link_manager* link_manager_instance = nullptr;

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
    // A reader still held in an open or in the file system is let go: it keeps the module
    // loaded until it has ended, and touches nothing of the manager's.
    stopped_readers_.clear();
    unregister_window_class(link_window_class, host().instance);
}

void link_manager::apply_settings() {
    link_->set_music_folders(cfg_music_directory.get());
    link_->set_next_random(cfg_shuffle_next_random != 0);
    control_->set_title_format(cfg_title_format.get());
}

void link_manager::activate(bool on) {
    if (command_in_progress()) {
        put_off_ = on;
        return;
    }
    if (on && reader_ != nullptr) {
        activate(false);  // a second reader would race the first for the port
    }
    active_ = on;
    if (!on) {
        if (reader_ != nullptr) {
            reader_->request_stop();  // first, so that it opens and reads nothing more
        }
        // Cut the reply being written and the reader's read: neither waits for the phone.
        link_->replies().stop(wait_serving_sent_messages);
        connection_->cancel_io();
        destroy_window(std::exchange(window_, nullptr));
        link_->stop_list_walks(wait_serving_sent_messages);
        stop_reader();
        connection_->close();
        log_info("Deactivated");
        return;
    }

    window_ = create_link_window();
    window_made_again_.reset();
    try {
        link_->join_list_worker(true);
        apply_settings();
        link_->replies().resume();
        std::erase_if(stopped_readers_, [](const auto& reader) { return reader->has_ended(); });
        connection_->set_port_name(cfg_com_port.get());
        reader_ = std::make_unique<link_reader>(*connection_, connection_->get_port_name(), window_,
                                                opening_turn_);
    } catch (...) {
        // No reader (no thread, no memory), no link.
        log_current_exception();
        activate(false);
    }
}

bool link_manager::is_connected() const {
    return connection_->is_open();
}

void link_manager::end_failed_connection() {
    if (reader_ != nullptr && reader_->could_not_connect()) {
        activate(false);
    }
}

void link_manager::window_destroyed(corvina::window_handle window) {
    // Deactivation forgets its window before it destroys it: this one went by another's hand.
    if (window == nullptr || window != window_) {
        return;
    }
    // Whatever destroys windows in a loop would never end: a window made again that is destroyed
    // again at once is not made a third time. The stale handle is forgotten, as Windows may give
    // it to another window.
    const auto now = std::chrono::steady_clock::now();
    if (window_made_again_ && now - *window_made_again_ < std::chrono::seconds(1)) {
        window_ = nullptr;
        return;
    }
    window_made_again_ = now;
    window_ = create_link_window();
    if (reader_ != nullptr) {
        reader_->use_window(window_);
    }
}

void link_manager::settle() {
    if (const std::optional<bool> on = std::exchange(put_off_, std::nullopt)) {
        activate(*on);
    }
}

void link_manager::stop_reader() {
    std::unique_ptr<link_reader> reader = std::move(reader_);
    if (reader == nullptr) {
        return;
    }
    if (handoff_in_progress()) {
        // This thread runs the reader's hand-off: the reader ends when it returns.
        reader->let_go();
    } else if (!reader->stop()) {
        stopped_readers_.push_back(std::move(reader));  // ends when its open returns
    }
}

}  // namespace tessel
