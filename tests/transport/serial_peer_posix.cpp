#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

#include "tests/transport/serial_peer.h"

namespace tessel::test {

using clock = std::chrono::steady_clock;

struct serial_peer::line {
    int master = -1;
};

serial_peer::serial_peer() : line_(std::make_unique<line>()) {
    // Non-blocking: the link's opening of the port flushes the line, which can take bytes that
    // poll has just announced, and a blocking read would then wait for ever.
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master >= 0) {
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        reason_ = "no pseudo-terminal";
        if (master >= 0) {
            ::close(master);
        }
        return;
    }
    char path[128];
    if (ptsname_r(master, path, sizeof path) != 0) {
        reason_ = "no pseudo-terminal name";
        ::close(master);
        return;
    }
    line_->master = master;
    port_name_ = path;
}

serial_peer::~serial_peer() {
    hang_up();
}

bool serial_peer::send(std::string_view bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t done = ::write(line_->master, bytes.data() + sent, bytes.size() - sent);
        if (done < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd writable{line_->master, POLLOUT, 0};
            poll(&writable, 1, 100);
            continue;
        }
        if (done < 0 && errno != EINTR) {
            return false;
        }
        if (done > 0) {
            sent += static_cast<std::size_t>(done);
        }
    }
    return true;
}

std::string serial_peer::receive(std::size_t count, std::chrono::milliseconds limit) {
    std::string got;
    const clock::time_point deadline = clock::now() + limit;
    while (got.size() < count && line_->master >= 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd ready{line_->master, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char chunk[4096];
        const std::size_t wanted = std::min(sizeof chunk, count - got.size());
        const ssize_t done = ::read(line_->master, chunk, wanted);
        if (done > 0) {
            got.append(chunk, static_cast<std::size_t>(done));
        } else if (done == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            break;
        }
    }
    return got;
}

bool serial_peer::hang_up() {
    if (line_->master >= 0) {
        ::close(line_->master);
        line_->master = -1;
    }
    return true;
}

bool serial_peer::ports_are_exclusive() const {
    return true;
}

}  // namespace tessel::test
