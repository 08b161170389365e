#pragma once
// The phone's serial link: a COM port on Windows (opened as \\.\ + name), a device path on
// POSIX. On open the line is made transparent (raw bytes, no software or hardware flow control,
// nothing stripped or replaced) and given the time-outs below; speed and framing stay as the
// system has them.
//
// One thread may read while others write. Writes are whole with respect to each other: a
// second write waits for the first. close() waits for a read or write in progress to end, and
// cancel_io() ends them at once. On Windows a cancelled call the driver holds on to is waited
// for half a second at most, then left to end by itself.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <shared_mutex>

#include "corvina/platform_types.h"
#include "support/string8.h"
#include "transport/cancel_signal.h"
#include "transport/connection.h"
#include "transport/line_error_record.h"

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

// Owns a port handle that is not (yet) a connection's; closes it unless released.
class port_handle {
  public:
    port_handle() = default;
    explicit port_handle(corvina::file_handle handle) : handle_(handle) {}
    port_handle(port_handle&& other) noexcept : handle_(other.release()) {}
    port_handle& operator=(port_handle&& other) noexcept;
    port_handle(const port_handle&) = delete;
    port_handle& operator=(const port_handle&) = delete;
    ~port_handle();

    bool is_open() const { return handle_ != corvina::invalid_file_handle; }
    corvina::file_handle get() const { return handle_; }
    corvina::file_handle release();

  private:
    corvina::file_handle handle_ = corvina::invalid_file_handle;
};

enum class open_outcome {
    opened,
    unavailable,  // no such port, in use, or (Bluetooth) the phone did not answer
    unusable,     // opened, but its time-outs could not be set: closed again
};

class bluetooth_connection final : public connection {
  public:
    bluetooth_connection() = default;
    bluetooth_connection(const bluetooth_connection&) = delete;
    bluetooth_connection& operator=(const bluetooth_connection&) = delete;
    ~bluetooth_connection() override;

    // Logs "Connecting to serial port <name>", opens the port exclusively and configures it
    // ("Connected."). False when the port cannot be opened, or its time-outs cannot be set (one
    // error line; a port without them would answer every read at once or never); a port
    // already open is closed first. May take seconds: a Bluetooth port connects to the phone
    // while it opens.
    bool open() override;

    // Opens and configures the named port apart from any connection, without a lock or a log
    // line: an open that takes seconds delays nobody and can be abandoned by its caller.
    static open_outcome open_port(const string8& name, port_handle& opened);
    // Makes an opened port this connection's (closing the one it had) and ends a cancellation.
    void adopt(port_handle opened);

    // A write goes out in pieces of at most this many bytes, each with the port's time-out for
    // its size: small enough that a stop is seen soon between two and that a piece a driver
    // holds after a cancellation is over within its time-out.
    static constexpr std::size_t write_piece_size = 4096;

    // The lines an open logs: "Connecting to serial port <name>" before it, and after it
    // "Connected." or the time-out error (nothing for a port that is not there: the caller
    // says what that means to it).
    static void log_connecting(const string8& name);
    static void log_outcome(open_outcome outcome);
    void close() override;
    int write(const void* bytes, std::size_t count) override;
    int write_buffer(const reply_buffer& buffer) override;
    // Compares under the lock that adopting a port takes, and keeps it through the write.
    int write_for_opening(const reply_buffer& buffer, std::uint64_t for_opening) override;
    int read(void* buffer, std::size_t count) override;
    void set_port_name(string8 name) override;
    // A cancelled read answers what came so far and does not count as failed; a cancelled
    // write answers what went out. Opening the port again ends the cancellation.
    void cancel_io() override;
    std::uint64_t opening() const override;

    // Drops what has arrived and was not read yet: the stream is out of step.
    void discard_input();
    // How many bytes have arrived and were not read yet: a read of no more ends at once.
    std::size_t input_waiting() const;

    bool is_open() const;
    string8 get_port_name() const;
    // True when a read or write since the port was opened ended because the port failed (it
    // has gone, or the other end hung up) rather than by a time-out or a cancellation, and
    // when no port is open: the port must be opened again before it carries anything.
    bool has_failed() const;

    // Closes a handle that uCreateFile opened: CloseHandle on Windows; on POSIX the terminal's
    // exclusive mode is given up and the descriptor closed.
    static void close_port(corvina::file_handle port);

  private:
    // Platform half: open the named port exclusively for reading and writing.
    static corvina::file_handle open_named_port(const string8& name);
    // Platform half: make the line transparent and apply the time-outs; false when refused.
    static bool configure_port(corvina::file_handle port);
    // Platform half: one read or write with the time-outs above, ended early by cancel. Sets
    // failed when the port failed; answers the bytes moved.
    // line_errors: where the reader's and the writer's calls take turns at the line's errors.
    static std::size_t read_port(corvina::file_handle port, const cancel_signal& cancel,
                                 line_error_record& line_errors, void* buffer, std::size_t count,
                                 bool& failed);
    static std::size_t write_port(corvina::file_handle port, const cancel_signal& cancel,
                                  line_error_record& line_errors, const void* bytes,
                                  std::size_t count, bool& failed);
    static void discard_port_input(corvina::file_handle port);
    static std::size_t port_input_waiting(corvina::file_handle port);

    // A write, with handle_guard_ held by the caller.
    int write_locked(const void* bytes, std::size_t count);

    // Shared by reads and writes, exclusive for open and close.
    mutable std::shared_mutex handle_guard_;
    std::mutex write_order_;
    string8 port_name_;
    corvina::file_handle port_ = corvina::invalid_file_handle;
    std::atomic<bool> failed_{true};  // no port yet
    std::atomic<std::uint64_t> openings_{0};
    cancel_signal cancel_;
    line_error_record line_errors_;
};

}  // namespace tessel
