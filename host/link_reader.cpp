#include "host/link_reader.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <utility>

#include "host/link_pacing.h"
#include "host/link_window.h"
#include "host/message_window.h"
#include "protocol/command_code.h"
#include "protocol/deferred_reply.h"
#include "protocol/file_system_gate.h"
#include "support/boundary.h"
#include "support/log.h"
#include "transport/bluetooth_connection.h"
#include "transport/open_canceller.h"
#include "transport/serial_port_list.h"

namespace tessel {

namespace {

// How long the reader waits before it opens a port that has gone again.
constexpr std::chrono::milliseconds reopen_interval{1000};

}  // namespace

// Shared by the thread and its owner, so that a reader let go still has it when it returns.
struct link_reader::state {
    mutable std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    bool opening = false;
    open_canceller open_in_progress;                      // armed while opening
    file_system_gate file_work;                           // for the file-system part of a command
    std::atomic<corvina::window_handle> window{nullptr};  // where hand-offs go
    std::atomic<bool> connect_failed{false};
    std::atomic<bool> ended{false};

    bool stopped() const {
        const std::lock_guard<std::mutex> lock(mutex);
        return stopping;
    }

    bool is_opening() const {
        const std::lock_guard<std::mutex> lock(mutex);
        return opening;
    }

    void stop() {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
            if (opening) {
                open_in_progress.cancel();
            }
        }
        file_work.request_stop();
        wake.notify_all();
    }

    // True when the thread has ended or sits in a call that may take seconds (an open, the
    // file system), after which it touches nothing but its own state if it was stopped.
    bool can_be_let_go() const { return ended.load() || is_opening() || file_work.can_be_let_go(); }

    // Sleeps up to the given time; false when the reader was told to stop meanwhile.
    bool pause(std::chrono::milliseconds time) {
        std::unique_lock<std::mutex> lock(mutex);
        return !wake.wait_for(lock, time, [this] { return stopping; });
    }

    // Marks the start of an open, on the reader's thread; false when the reader was told to
    // stop.
    bool begin_open() {
        const std::lock_guard<std::mutex> lock(mutex);
        opening = !stopping;
        if (opening) {
            open_in_progress.arm();
        }
        return opening;
    }

    // Marks its end. Unless the reader was told to stop meanwhile (and so was let go: false),
    // what was opened becomes the connection's, under the same lock as the stop, so that a
    // stop's cancellation of the connection's I/O always comes after and is never undone.
    bool end_open(bluetooth_connection& port, port_handle& opened) {
        const std::lock_guard<std::mutex> lock(mutex);
        opening = false;
        open_in_progress.disarm();
        if (stopping) {
            return false;
        }
        if (opened.is_open()) {
            port.adopt(std::move(opened));
        }
        return true;
    }
};

// What runs on the reader's thread.
class link_reader::session {
  public:
    session(std::shared_ptr<state> shared, bluetooth_connection& port, string8 port_name,
            std::shared_ptr<std::mutex> opening_turn)
        : shared_(std::move(shared)),
          reader_(*shared_),
          port_(port),
          port_name_(std::move(port_name)),
          opening_turn_(std::move(opening_turn)) {}

    void run() {
        // Nothing leaves the thread: a failure (out of memory) ends the activation as a port
        // that cannot be opened does, with one error line.
        try {
            if (connect()) {
                log_info("Activated");
                read_commands();
            } else if (!reader_.stopped()) {
                log_error("Could not connect!");
                log_info(ports_after_failed_open(list_serial_ports(), port_name_.view()));
                end_activation();
            }
        } catch (...) {
            log_current_exception();
            if (!reader_.stopped()) {
                end_activation();
            }
        }
        // Last: the owner may be gone once this is set.
        reader_.ended.store(true);
    }

  private:
    enum class announce { loudly, quietly };

    // Asks the main thread to deactivate.
    void end_activation() {
        reader_.connect_failed.store(true);
        send_to_main_thread(connect_failed_message, 0);
    }

    // Opens the port by its name and makes it the connection's. False when it could not, or
    // when the reader was told to stop meanwhile; from then on the connection may be gone.
    bool open_port(announce how) {
        if (reader_.stopped()) {
            return false;
        }
        // Before the open begins: from then on a stop no longer waits for this thread, and the
        // player's console may be gone.
        if (how == announce::loudly) {
            bluetooth_connection::log_connecting(port_name_);
        }
        if (!reader_.begin_open()) {
            return false;
        }
        open_outcome outcome = open_outcome::unavailable;
        bool kept = false;
        {
            // Readers take turns, and one let go closes what it opened before the next opens:
            // the port is opened exclusively. A reader stopped while it waited opens nothing.
            // (A stop that comes after this check but before the system has the open under
            // way cannot cut it: the open runs its course.)
            const std::lock_guard<std::mutex> turn(*opening_turn_);
            port_handle opened;
            if (!reader_.stopped()) {
                outcome = bluetooth_connection::open_port(port_name_, opened);
            }
            kept = reader_.end_open(port_, opened);
        }
        if (!kept) {
            return false;
        }
        if (how == announce::loudly) {
            bluetooth_connection::log_outcome(outcome);
        }
        return outcome == open_outcome::opened;
    }

    bool connect() { return open_port(announce::loudly); }

    // The port has gone: close it, then open it again about once a second, quietly, until it
    // is back. False when the reader was told to stop first.
    bool reconnect() {
        port_.cancel_io();  // a write in flight to the dead port ends now
        port_.close();
        while (reader_.pause(reopen_interval)) {
            if (open_port(announce::quietly)) {
                return true;
            }
        }
        return false;
    }

    void read_commands() {
        // The loss is logged once; the return once the port has carried a read without failing.
        bool port_lost = false;
        while (!reader_.stopped()) {
            std::uint8_t bytes[4] = {0, 0, 0, 0};
            const int got = port_.read(bytes, sizeof bytes);
            if (reader_.stopped()) {
                break;  // a read cut short by the deactivation
            }
            if (port_.has_failed()) {
                if (!port_lost) {
                    log_error("Read error!");
                    port_lost = true;
                }
                if (!reconnect()) {
                    break;
                }
                continue;
            }
            if (std::exchange(port_lost, false)) {
                log_info("Connected.");
            }
            if (got == 0) {
                continue;  // an idle link
            }
            if (got != 4) {
                log_error("Read error!");
                continue;
            }
            if (!hand_over(command_code_from_wire(bytes))) {
                break;
            }
        }
    }

    // False when the reader was told to stop.
    bool hand_over(command_code code) {
        if (!is_known_command(code)) {
            // Out of step: what waits is the rest of the noise. Reading on at once, a phone
            // that goes quiet for a moment is in step again with its next command.
            port_.discard_input();
            return send_to_main_thread(app_message, static_cast<std::intptr_t>(code));
        }
        if (code == commands::info && !reader_.pause(protocol_pacing().info_delay)) {
            return false;
        }
        // The main thread may leave the file-system part of the command here. After the send
        // returns the reader may have been let go: only its own state is used then.
        std::unique_ptr<deferred_reply> file_work;
        if (!send_to_main_thread(app_message, static_cast<std::intptr_t>(code), &file_work)) {
            return false;
        }
        if (file_work != nullptr && !reader_.stopped()) {
            file_work->run(&reader_.file_work);
        }
        return reader_.pause(protocol_pacing().handoff_rest);
    }

    // A hand-off that did not reach the main thread (its window is gone: the main thread makes
    // it again) is not done: logged once and tried again, with the rest between tries. False
    // when the reader was told to stop, whose window is gone on purpose.
    bool send_to_main_thread(std::uint32_t message, std::intptr_t argument,
                             std::unique_ptr<deferred_reply>* file_work = nullptr) {
        bool logged = false;
        while (send_window_message(reader_.window.load(), message,
                                   reinterpret_cast<std::uintptr_t>(file_work),
                                   argument) != handoff_done) {
            if (reader_.stopped()) {
                return false;
            }
            if (!std::exchange(logged, true)) {
                log_error("Could not hand a command to the player: trying again.");
            }
            if (!reader_.pause(protocol_pacing().handoff_rest)) {
                return false;
            }
        }
        return true;
    }

    const std::shared_ptr<state> shared_;  // keeps reader_ alive while the thread runs
    state& reader_;
    bluetooth_connection& port_;
    const string8 port_name_;
    const std::shared_ptr<std::mutex> opening_turn_;  // kept while a let-go reader opens
};

link_reader::link_reader(bluetooth_connection& port, string8 port_name,
                         corvina::window_handle window, std::shared_ptr<std::mutex> opening_turn)
    : state_(std::make_shared<state>()) {
    state_->window.store(window);
    // Shared, since the thread's function is copyable.
    auto running =
        std::make_shared<session>(state_, port, std::move(port_name), std::move(opening_turn));
    thread_ = module_thread([running] { running->run(); });
}

link_reader::~link_reader() {
    if (!stop()) {
        thread_.let_go();  // ends by itself once its open or file-system call returns
    }
}

void link_reader::request_stop() {
    state_->stop();
}

bool link_reader::stop() {
    request_stop();
    if (!thread_.joinable()) {
        return true;
    }
    // The reader may be waiting for this very thread to run its hand-off: serve it (the window
    // is gone by now, so the hand-off fails at once) until the reader has ended.
    wait_serving_sent_messages([this] { return state_->can_be_let_go() || thread_.has_ended(); });
    if (!has_ended()) {
        return false;
    }
    thread_.join();
    return true;
}

void link_reader::let_go() {
    request_stop();
    if (thread_.joinable()) {
        thread_.let_go_until_unload();  // it ends as soon as the hand-off returns
    }
}

bool link_reader::has_ended() const {
    return state_->ended.load() || (thread_.joinable() && thread_.has_ended());
}

bool link_reader::could_not_connect() const {
    return state_->connect_failed.load();
}

void link_reader::use_window(corvina::window_handle window) {
    state_->window.store(window);
}

}  // namespace tessel
