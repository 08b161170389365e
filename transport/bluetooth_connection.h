#pragma once
// The phone's serial link: a COM port on Windows (opened as \\.\ + name), a device path on
// POSIX. Only the time-outs are configured; speed, parity and flow control stay as the system
// has them.
//
// One thread may read while others write. Writes are whole with respect to each other: a
// second write waits for the first. close() waits for a read or write in progress to end, and
// cancel_io() ends them at once.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <shared_mutex>

#include "corvina/platform_types.h"
#include "support/string8.h"
#include "transport/cancel_signal.h"
#include "transport/connection.h"

namespace tessel {

// The port's time-outs, in milliseconds. A read of n bytes ends when they came, when more
// than read_interval passes between two bytes, or after read_constant + read_multiplier * n
// in all; a write of n bytes gives up after write_constant + write_multiplier * n.
struct serial_timeouts {
    static constexpr unsigned read_interval = 100;
    static constexpr unsigned read_multiplier = 10;
    static constexpr unsigned read_constant = 200;
    static constexpr unsigned write_multiplier = 10;
    static constexpr unsigned write_constant = 500;

    static std::chrono::milliseconds read_total(std::size_t count) {
        return std::chrono::milliseconds(read_constant + read_multiplier * count);
    }
    static std::chrono::milliseconds write_total(std::size_t count) {
        return std::chrono::milliseconds(write_constant + write_multiplier * count);
    }
};

class bluetooth_connection final : public connection {
  public:
    bluetooth_connection() = default;
    bluetooth_connection(const bluetooth_connection&) = delete;
    bluetooth_connection& operator=(const bluetooth_connection&) = delete;
    ~bluetooth_connection() override;

    // Logs "Connecting to serial port <name>", opens the port exclusively and sets its
    // time-outs ("Connected." or an error line). False when the port cannot be opened; a
    // port already open is closed first.
    bool open() override;
    void close() override;
    int write(const void* bytes, std::size_t count) override;
    int write_buffer(const reply_buffer& buffer) override;
    int read(void* buffer, std::size_t count) override;
    void set_port_name(string8 name) override;
    // A cancelled read answers what came so far and does not count as failed; a cancelled
    // write answers what went out. Opening the port again ends the cancellation.
    void cancel_io() override;

    // Drops what has arrived and was not read yet: the stream is out of step.
    void discard_input();

    bool is_open() const;
    string8 get_port_name() const;
    // True when the last read ended because the port failed (it has gone, or the other end
    // hung up) rather than by a time-out: a caller reading in a loop should pause then.
    bool last_read_failed() const;

    // Closes a handle that uCreateFile opened: CloseHandle on Windows; on POSIX the terminal's
    // exclusive mode is given up and the descriptor closed.
    static void close_port(corvina::file_handle port);

  private:
    // Platform half: open the named port exclusively for reading and writing.
    static corvina::file_handle open_port(const string8& name);
    // Platform half: apply the time-outs (and, on POSIX, raw mode); false when refused.
    static bool configure_port(corvina::file_handle port);
    // Platform half: one read or write with the time-outs above, ended early by cancel. A read
    // sets failed when the port failed; a write answers the bytes written.
    static std::size_t read_port(corvina::file_handle port, const cancel_signal& cancel,
                                 void* buffer, std::size_t count, bool& failed);
    static std::size_t write_port(corvina::file_handle port, const cancel_signal& cancel,
                                  const void* bytes, std::size_t count);
    static void discard_port_input(corvina::file_handle port);

    // Shared by reads and writes, exclusive for open and close.
    mutable std::shared_mutex handle_guard_;
    std::mutex write_order_;
    string8 port_name_;
    corvina::file_handle port_ = corvina::invalid_file_handle;
    std::atomic<bool> last_read_failed_{false};
    cancel_signal cancel_;
};

}  // namespace tessel
