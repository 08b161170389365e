#include "transport/bluetooth_connection.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "support/log.h"
#include "support/reply_buffer.h"

namespace tessel {

namespace {

// Counts are answered as int: one call moves at most INT_MAX bytes.
std::size_t clamp_count(std::size_t count) {
    return std::min(count, static_cast<std::size_t>(INT_MAX));
}

}  // namespace

port_handle& port_handle::operator=(port_handle&& other) noexcept {
    if (this != &other) {
        bluetooth_connection::close_port(std::exchange(handle_, other.release()));
    }
    return *this;
}

port_handle::~port_handle() {
    bluetooth_connection::close_port(handle_);
}

corvina::file_handle port_handle::release() {
    return std::exchange(handle_, corvina::invalid_file_handle);
}

bluetooth_connection::~bluetooth_connection() {
    close();
}

open_outcome bluetooth_connection::open_port(const string8& name, port_handle& opened) {
    port_handle port(open_named_port(name));
    if (!port.is_open()) {
        return open_outcome::unavailable;
    }
    if (!configure_port(port.get())) {
        return open_outcome::unusable;  // closed with port
    }
    opened = std::move(port);
    return open_outcome::opened;
}

void bluetooth_connection::log_connecting(const string8& name) {
    log_info("Connecting to serial port ", name.view());
}

void bluetooth_connection::log_outcome(open_outcome outcome) {
    switch (outcome) {
        case open_outcome::opened:
            log_info("Connected.");
            break;
        case open_outcome::unusable:
            log_error("Couldn't set timeouts on port, check your settings");
            break;
        case open_outcome::unavailable:
            break;
    }
}

bool bluetooth_connection::open() {
    close();
    const string8 name = get_port_name();
    log_connecting(name);
    port_handle opened;
    const open_outcome outcome = open_port(name, opened);
    if (outcome == open_outcome::opened) {
        adopt(std::move(opened));
    }
    log_outcome(outcome);
    return outcome == open_outcome::opened;
}

void bluetooth_connection::adopt(port_handle opened) {
    const std::unique_lock<std::shared_mutex> lock(handle_guard_);
    close_port(std::exchange(port_, opened.release()));
    failed_ = port_ == corvina::invalid_file_handle;
    ++openings_;
    cancel_.reset();
}

void bluetooth_connection::close() {
    const std::unique_lock<std::shared_mutex> lock(handle_guard_);
    close_port(std::exchange(port_, corvina::invalid_file_handle));
    failed_ = true;
}

int bluetooth_connection::write(const void* bytes, std::size_t count) {
    const std::shared_lock<std::shared_mutex> lock(handle_guard_);
    return write_locked(bytes, count);
}

int bluetooth_connection::write_locked(const void* bytes, std::size_t count) {
    if (port_ == corvina::invalid_file_handle || count == 0) {
        return 0;
    }
    const std::lock_guard<std::mutex> order(write_order_);
    const auto* data = static_cast<const unsigned char*>(bytes);
    const std::size_t total = clamp_count(count);
    std::size_t sent = 0;
    // Piece by piece, each with its own time-out: a cancellation is seen between two, and a
    // piece the phone did not take whole by its time-out drops the rest.
    while (sent < total && !cancel_.is_set()) {
        const std::size_t piece = std::min(total - sent, write_piece_size);
        bool failed = false;
        const std::size_t moved =
            write_port(port_, cancel_, line_errors_, data + sent, piece, failed);
        sent += moved;
        if (failed) {
            failed_ = true;
            break;
        }
        if (moved < piece) {
            break;
        }
    }
    return static_cast<int>(sent);
}

int bluetooth_connection::write_buffer(const reply_buffer& buffer) {
    return write(buffer.data(), buffer.size());
}

int bluetooth_connection::write_for_opening(const reply_buffer& buffer, std::uint64_t for_opening) {
    const std::shared_lock<std::shared_mutex> lock(handle_guard_);
    if (openings_.load() != for_opening) {
        return 0;
    }
    return write_locked(buffer.data(), buffer.size());
}

int bluetooth_connection::read(void* buffer, std::size_t count) {
    const std::shared_lock<std::shared_mutex> lock(handle_guard_);
    if (port_ == corvina::invalid_file_handle || count == 0) {
        return 0;
    }
    bool failed = false;
    const std::size_t got =
        read_port(port_, cancel_, line_errors_, buffer, clamp_count(count), failed);
    if (failed) {
        failed_ = true;
    }
    return static_cast<int>(got);
}

void bluetooth_connection::set_port_name(string8 name) {
    const std::unique_lock<std::shared_mutex> lock(handle_guard_);
    port_name_ = std::move(name);
}

void bluetooth_connection::cancel_io() {
    // No lock: the read or write to end holds the handle's lock.
    cancel_.set();
}

std::uint64_t bluetooth_connection::opening() const {
    return openings_.load();
}

void bluetooth_connection::discard_input() {
    const std::shared_lock<std::shared_mutex> lock(handle_guard_);
    if (port_ != corvina::invalid_file_handle) {
        discard_port_input(port_);
    }
}

std::size_t bluetooth_connection::input_waiting() const {
    const std::shared_lock<std::shared_mutex> lock(handle_guard_);
    return port_ != corvina::invalid_file_handle ? port_input_waiting(port_) : 0;
}

bool bluetooth_connection::is_open() const {
    const std::shared_lock<std::shared_mutex> lock(handle_guard_);
    return port_ != corvina::invalid_file_handle;
}

string8 bluetooth_connection::get_port_name() const {
    const std::shared_lock<std::shared_mutex> lock(handle_guard_);
    return port_name_;
}

bool bluetooth_connection::has_failed() const {
    return failed_.load();
}

}  // namespace tessel
