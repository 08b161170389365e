// The serial port on POSIX: a device path opened exclusively, raw mode, and the port's
// time-outs kept by waiting with poll between the bytes, beside the cancel signal.

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "corvina/shared.h"
#include "transport/bluetooth_connection.h"

namespace tessel {

namespace {

using clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

int to_fd(corvina::file_handle port) {
    return static_cast<int>(port);
}

// poll's time-out for what is left until a deadline, rounded up so it never spins.
int poll_timeout(clock::duration left) {
    const auto ms = std::chrono::ceil<milliseconds>(left).count();
    return ms <= 0 ? 0 : static_cast<int>(ms);
}

enum class wait_result { ready, timed_out, cancelled, failed };

// Waits until the port is ready for events, the time is up or the wait is cancelled.
wait_result wait_for_port(int fd, short events, const cancel_signal& cancel, clock::duration left) {
    pollfd watched[2] = {{fd, events, 0}, {static_cast<int>(cancel.wait_handle()), POLLIN, 0}};
    const int polled = poll(watched, 2, poll_timeout(left));
    if (polled < 0) {
        return errno == EINTR ? wait_result::timed_out : wait_result::failed;
    }
    if (watched[1].revents != 0 || cancel.is_set()) {
        return wait_result::cancelled;
    }
    if (polled == 0) {
        return wait_result::timed_out;  // the caller's own clock decides whether time is up
    }
    // Hung up or broken, and nothing left to read or room to write.
    return (watched[0].revents & events) != 0 ? wait_result::ready : wait_result::failed;
}

}  // namespace

corvina::file_handle bluetooth_connection::open_named_port(const string8& name) {
    namespace win32 = corvina::win32_values;
    if (name.is_empty()) {
        return corvina::invalid_file_handle;
    }
    return uCreateFile(name.c_str(), win32::generic_read | win32::generic_write, 0, nullptr,
                       win32::open_existing, 0, corvina::invalid_file_handle);
}

bool bluetooth_connection::configure_port(corvina::file_handle port) {
    const int fd = to_fd(port);
    // The time-outs are kept by poll: reads and writes must never block on their own.
    const int flags = fcntl(fd, F_GETFL);
    const bool non_blocking = flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
    termios settings{};
    if (!non_blocking || tcgetattr(fd, &settings) != 0) {
        return false;
    }
    // Raw bytes both ways. The control flags hold the line settings (character size,
    // parity, stop bits, flow control, and the speed on some systems), which stay as they are;
    // only the receiver must be on.
    const tcflag_t line_settings = settings.c_cflag;
    cfmakeraw(&settings);
    settings.c_cflag = line_settings | CREAD;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

// A terminal reports no line errors to its reader: noise arrives as bytes.
std::size_t bluetooth_connection::read_port(corvina::file_handle port, const cancel_signal& cancel,
                                            line_error_record& /*line_errors*/, void* buffer,
                                            std::size_t count, bool& failed) {
    const int fd = to_fd(port);
    auto* bytes = static_cast<unsigned char*>(buffer);
    const clock::time_point deadline = clock::now() + serial_timeouts::read_total(count);
    const milliseconds interval(serial_timeouts::read_interval);
    clock::time_point last_byte{};
    std::size_t got = 0;
    failed = false;
    while (got < count) {
        const clock::time_point now = clock::now();
        clock::duration wait = deadline - now;
        if (got > 0) {
            // The interval runs from the last byte that came.
            wait = std::min(wait, last_byte + interval - now);
        }
        if (wait <= clock::duration::zero()) {
            break;
        }
        const wait_result waited = wait_for_port(fd, POLLIN, cancel, wait);
        if (waited == wait_result::cancelled) {
            break;
        }
        if (waited == wait_result::failed) {
            failed = true;
            break;
        }
        if (waited == wait_result::timed_out) {
            continue;
        }
        const ssize_t done = ::read(fd, bytes + got, count - got);
        if (done > 0) {
            got += static_cast<std::size_t>(done);
            last_byte = clock::now();
        } else if (done == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            failed = true;
            break;
        }
    }
    return got;
}

std::size_t bluetooth_connection::write_port(corvina::file_handle port, const cancel_signal& cancel,
                                             line_error_record& /*line_errors*/, const void* bytes,
                                             std::size_t count, bool& failed) {
    const int fd = to_fd(port);
    const auto* data = static_cast<const unsigned char*>(bytes);
    const clock::time_point deadline = clock::now() + serial_timeouts::write_total(count);
    std::size_t sent = 0;
    failed = false;
    while (sent < count && !cancel.is_set()) {
        const ssize_t done = ::write(fd, data + sent, count - sent);
        if (done > 0) {
            sent += static_cast<std::size_t>(done);
            continue;
        }
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            failed = true;
            break;
        }
        // The line is full: wait until it takes more, the time is up or the write is cancelled.
        const clock::duration left = deadline - clock::now();
        if (left <= clock::duration::zero()) {
            break;
        }
        const wait_result waited = wait_for_port(fd, POLLOUT, cancel, left);
        if (waited == wait_result::failed) {
            failed = true;
            break;
        }
        if (waited == wait_result::cancelled) {
            break;
        }
    }
    return sent;
}

void bluetooth_connection::discard_port_input(corvina::file_handle port) {
    tcflush(to_fd(port), TCIFLUSH);
}

std::size_t bluetooth_connection::port_input_waiting(corvina::file_handle port) {
    int count = 0;
    return ioctl(to_fd(port), FIONREAD, &count) == 0 && count > 0 ? static_cast<std::size_t>(count)
                                                                  : 0;
}

void bluetooth_connection::close_port(corvina::file_handle port) {
    if (port == corvina::invalid_file_handle) {
        return;
    }
    const int fd = static_cast<int>(port);
    // An exclusive open put a terminal in exclusive mode, which outlives this descriptor while
    // the other end is open. Elsewhere the request fails harmlessly.
    ioctl(fd, TIOCNXCL);
    // Linux releases the descriptor even when close reports EINTR: never close twice.
    ::close(fd);
}

}  // namespace tessel
