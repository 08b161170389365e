#include "bench/phone_end.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tessel::bench {

using clock = std::chrono::steady_clock;

phone_end::phone_end() {
    fd_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (fd_ >= 0 && (::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0)) {
        ::close(fd_);
        fd_ = -1;
    }
}

phone_end::~phone_end() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::string phone_end::port_path() const {
    return ::ptsname(fd_);
}

bool phone_end::send(std::string_view bytes) {
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

bool phone_end::receive(std::size_t count, std::chrono::milliseconds limit) {
    const auto deadline = clock::now() + limit;
    while (count > 0 && clock::now() < deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now());
        count -= receive_some(count, left).size();
    }
    return count == 0;
}

std::string phone_end::receive_some(std::size_t count, std::chrono::milliseconds limit) {
    pollfd wait{fd_, POLLIN, 0};
    if (::poll(&wait, 1, static_cast<int>(std::max<long long>(limit.count(), 0))) <= 0) {
        return {};
    }
    std::string got(count, '\0');
    const ssize_t done = ::read(fd_, got.data(), count);
    got.resize(done > 0 ? static_cast<std::size_t>(done) : 0);
    return got;
}

}  // namespace tessel::bench
