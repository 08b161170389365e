// Two pseudo-terminal pairs; the relay copies bytes between their controlling sides. Each
// terminal side is held open here in raw mode, so that neither side sees a hang-up while the
// other program is not connected and no byte is echoed or translated.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "standin/player/virtual_serial.h"

namespace standin {
namespace {

class file_descriptor {
  public:
    file_descriptor() = default;
    explicit file_descriptor(int fd) : fd_(fd) {}
    ~file_descriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    file_descriptor(const file_descriptor&) = delete;
    file_descriptor& operator=(const file_descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_ = -1;
};

std::runtime_error system_failure(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

void make_raw(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) == 0) {
        cfmakeraw(&settings);
        tcsetattr(fd, TCSANOW, &settings);
    }
}

struct pty_pair {
    std::unique_ptr<file_descriptor> control;
    std::unique_ptr<file_descriptor> terminal;
    std::string path;
};

pty_pair open_pair() {
    pty_pair pair;
    // Non-blocking: the relay waits in poll, where the cable's end can stop it.
    pair.control = std::make_unique<file_descriptor>(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK));
    const int control = pair.control->get();
    if (control < 0 || grantpt(control) != 0 || unlockpt(control) != 0) {
        throw system_failure("cannot open a pseudo-terminal");
    }
    const char* name = ptsname(control);
    if (name == nullptr) {
        throw system_failure("cannot name a pseudo-terminal");
    }
    pair.path = name;
    pair.terminal = std::make_unique<file_descriptor>(open(name, O_RDWR | O_NOCTTY));
    if (pair.terminal->get() < 0) {
        throw system_failure("cannot open " + pair.path);
    }
    make_raw(pair.terminal->get());
    make_raw(control);
    return pair;
}

// Writes all of it unless the far side is gone; false when the cable is stopped meanwhile (a
// far end that does not read must not hold the cable's end up).
bool write_all(int fd, int stop, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            return true;
        }
        pollfd fds[2] = {{stop, POLLIN, 0}, {fd, POLLOUT, 0}};
        if (poll(fds, 2, -1) > 0 && fds[0].revents != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

struct virtual_serial_cable::relay {
    pty_pair phone;
    pty_pair player;
    file_descriptor stop_read;
    file_descriptor stop_write;
    std::thread thread;

    relay(pty_pair a, pty_pair b, int stop_fds[2])
        : phone(std::move(a)),
          player(std::move(b)),
          stop_read(stop_fds[0]),
          stop_write(stop_fds[1]),
          thread([this] { run(); }) {}

    ~relay() {
        const char quit = 'q';
        [[maybe_unused]] const ssize_t ignored = write(stop_write.get(), &quit, 1);
        thread.join();
    }

    void run() {
        char buffer[4096];
        while (true) {
            pollfd fds[3] = {{stop_read.get(), POLLIN, 0},
                             {phone.control->get(), POLLIN, 0},
                             {player.control->get(), POLLIN, 0}};
            if (poll(fds, 3, -1) < 0) {
                continue;
            }
            if (fds[0].revents != 0) {
                return;
            }
            bool hung_up = false;
            for (int from = 1; from <= 2; ++from) {
                if ((fds[from].revents & POLLIN) == 0) {
                    hung_up = hung_up || fds[from].revents != 0;
                    continue;
                }
                const ssize_t n = read(fds[from].fd, buffer, sizeof buffer);
                if (n > 0 && !write_all(fds[from == 1 ? 2 : 1].fd, stop_read.get(), buffer,
                                        static_cast<std::size_t>(n))) {
                    return;
                }
            }
            if (hung_up) {
                // A side reports a hang-up with nothing to read: wait a little instead of
                // spinning until it is usable again.
                poll(fds, 1, 100);
            }
        }
    }
};

virtual_serial_cable::virtual_serial_cable() {
    pty_pair phone = open_pair();
    pty_pair player = open_pair();
    int stop_fds[2];
    if (pipe(stop_fds) != 0) {
        throw system_failure("cannot make a pipe");
    }
    phone_end_ = phone.path;
    player_end_ = player.path;
    // The system's serial ports, as the component lists them, include the component's end.
    // Set before the relay's thread starts: the environment is not for changing beside threads.
    setenv("CORVINA_STANDIN_SERIAL_PORTS", player_end_.c_str(), 1);
    relay_ = std::make_unique<relay>(std::move(phone), std::move(player), stop_fds);
}

virtual_serial_cable::~virtual_serial_cable() = default;

}  // namespace standin
