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

bluetooth_connection::~bluetooth_connection() {
    close();
}

bool bluetooth_connection::open() {
    const std::unique_lock<std::shared_mutex> lock(handle_guard_);
    if (port_ != corvina::invalid_file_handle) {
        // Opening again must not leak the handle that is already open.
        close_port(std::exchange(port_, corvina::invalid_file_handle));
    }
    last_read_failed_ = false;
    cancel_.reset();

    scratch_string8 line("Connecting to serial port ");
    line += port_name_.view();
    log_info(line.view());

    const corvina::file_handle port = open_port(port_name_);
    if (port == corvina::invalid_file_handle) {
        return false;
    }
    port_ = port;
    if (configure_port(port_)) {
        log_info("Connected.");
    } else {
        log_error("Couldn't set timeouts on port, check your settings");
    }
    return true;
}

void bluetooth_connection::close() {
    const std::unique_lock<std::shared_mutex> lock(handle_guard_);
    if (port_ != corvina::invalid_file_handle) {
        close_port(std::exchange(port_, corvina::invalid_file_handle));
    }
}

int bluetooth_connection::write(const void* bytes, std::size_t count) {
    const std::shared_lock<std::shared_mutex> lock(handle_guard_);
    if (port_ == corvina::invalid_file_handle || count == 0) {
        return 0;
    }
    const std::lock_guard<std::mutex> order(write_order_);
    return static_cast<int>(write_port(port_, cancel_, bytes, clamp_count(count)));
}

int bluetooth_connection::write_buffer(const reply_buffer& buffer) {
    return write(buffer.data(), buffer.size());
}

int bluetooth_connection::read(void* buffer, std::size_t count) {
    const std::shared_lock<std::shared_mutex> lock(handle_guard_);
    if (port_ == corvina::invalid_file_handle) {
        last_read_failed_ = true;
        return 0;
    }
    if (count == 0) {
        last_read_failed_ = false;
        return 0;
    }
    bool failed = false;
    const std::size_t got = read_port(port_, cancel_, buffer, clamp_count(count), failed);
    last_read_failed_ = failed;
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

void bluetooth_connection::discard_input() {
    const std::shared_lock<std::shared_mutex> lock(handle_guard_);
    if (port_ != corvina::invalid_file_handle) {
        discard_port_input(port_);
    }
}

bool bluetooth_connection::is_open() const {
    const std::shared_lock<std::shared_mutex> lock(handle_guard_);
    return port_ != corvina::invalid_file_handle;
}

string8 bluetooth_connection::get_port_name() const {
    const std::shared_lock<std::shared_mutex> lock(handle_guard_);
    return port_name_;
}

bool bluetooth_connection::last_read_failed() const {
    return last_read_failed_.load();
}

}  // namespace tessel
