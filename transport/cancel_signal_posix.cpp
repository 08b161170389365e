#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "transport/cancel_signal.h"

namespace tessel {

namespace {

void make_non_blocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0 ||
        fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "cancel signal");
    }
}

}  // namespace

cancel_signal::cancel_signal() {
    int ends[2];
    if (pipe(ends) != 0) {
        throw std::system_error(errno, std::generic_category(), "cancel signal");
    }
    handle_ = ends[0];
    signal_end_ = ends[1];
    try {
        make_non_blocking(ends[0]);
        make_non_blocking(ends[1]);
    } catch (...) {
        ::close(ends[0]);
        ::close(ends[1]);
        throw;
    }
}

cancel_signal::~cancel_signal() {
    ::close(static_cast<int>(handle_));
    ::close(static_cast<int>(signal_end_));
}

void cancel_signal::set() {
    const std::lock_guard<std::mutex> lock(change_);
    if (set_.exchange(true)) {
        return;
    }
    // One byte keeps the read end readable until reset drains it.
    const char byte = 1;
    while (::write(static_cast<int>(signal_end_), &byte, 1) < 0 && errno == EINTR) {
    }
}

void cancel_signal::reset() {
    const std::lock_guard<std::mutex> lock(change_);
    if (!set_.exchange(false)) {
        return;
    }
    char drained[16];
    while (::read(static_cast<int>(handle_), drained, sizeof drained) > 0 || errno == EINTR) {
    }
}

}  // namespace tessel
