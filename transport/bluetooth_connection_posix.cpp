// The serial port on POSIX: a device path opened exclusively, raw mode, and the port's
// time-outs kept by waiting with poll between the bytes.

#include <fcntl.h>
#include <poll.h>
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

}  // namespace

corvina::file_handle bluetooth_connection::open_port(const string8& name) {
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

std::size_t bluetooth_connection::read_port(corvina::file_handle port, void* buffer,
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
        pollfd ready{fd, POLLIN, 0};
        const int polled = poll(&ready, 1, poll_timeout(wait));
        if (polled < 0) {
            if (errno == EINTR) {
                continue;
            }
            failed = true;
            break;
        }
        if (polled == 0) {
            continue;  // the loop's own clock decides whether time is up
        }
        if ((ready.revents & POLLIN) == 0) {
            failed = true;  // hung up or broken, and nothing left to read
            break;
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

std::size_t bluetooth_connection::write_port(corvina::file_handle port, const void* bytes,
                                             std::size_t count) {
    const int fd = to_fd(port);
    const auto* data = static_cast<const unsigned char*>(bytes);
    const clock::time_point deadline = clock::now() + serial_timeouts::write_total(count);
    std::size_t sent = 0;
    while (sent < count) {
        const ssize_t done = ::write(fd, data + sent, count - sent);
        if (done > 0) {
            sent += static_cast<std::size_t>(done);
            continue;
        }
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            break;
        }
        // The line is full: wait until it takes more or the time is up.
        const clock::duration left = deadline - clock::now();
        if (left <= clock::duration::zero()) {
            break;
        }
        pollfd ready{fd, POLLOUT, 0};
        const int polled = poll(&ready, 1, poll_timeout(left));
        if (polled < 0 && errno != EINTR) {
            break;
        }
        if (polled > 0 && (ready.revents & POLLOUT) == 0) {
            break;
        }
    }
    return sent;
}

void bluetooth_connection::close_port(corvina::file_handle port) {
    uCloseFile(port);
}

}  // namespace tessel
