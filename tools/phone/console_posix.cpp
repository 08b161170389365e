#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <iterator>

#include "tools/phone/console.h"

namespace tessel::phone {
namespace {

volatile sig_atomic_t quit_signalled = 0;

extern "C" void note_quit_signal(int) {
    quit_signalled = 1;
}

constexpr int quit_signals[] = {SIGINT, SIGTERM, SIGHUP};

}  // namespace

std::vector<std::string> utf8_arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void prepare_console() {}

bool input_is_terminal() {
    return isatty(STDIN_FILENO) != 0;
}

bool read_input_line(std::string& line) {
    if (!std::getline(std::cin, line)) {
        return false;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return true;
}

bool error_is_terminal() {
    return isatty(STDERR_FILENO) != 0;
}

int terminal_columns() {
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        winsize size{};
        if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
            return size.ws_col;
        }
    }
    return 80;
}

struct watch_terminal::saved {
    bool redraw = false;
    bool keys = true;  // standard input may still bring a 'q'
    bool keyboard_changed = false;
    termios keyboard{};
    struct sigaction actions[std::size(quit_signals)]{};
};

watch_terminal::watch_terminal() : saved_(std::make_unique<saved>()) {
    quit_signalled = 0;
    struct sigaction quit {};
    quit.sa_handler = note_quit_signal;
    sigemptyset(&quit.sa_mask);
    // No SA_RESTART: a signal ends the wait it interrupts.
    for (std::size_t i = 0; i < std::size(quit_signals); ++i) {
        sigaction(quit_signals[i], &quit, &saved_->actions[i]);
    }
    if (isatty(STDIN_FILENO) != 0 && tcgetattr(STDIN_FILENO, &saved_->keyboard) == 0) {
        termios keys = saved_->keyboard;
        keys.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        keys.c_cc[VMIN] = 1;
        keys.c_cc[VTIME] = 0;
        saved_->keyboard_changed = tcsetattr(STDIN_FILENO, TCSANOW, &keys) == 0;
    }
    saved_->redraw = isatty(STDOUT_FILENO) != 0;
    if (saved_->redraw) {
        std::cout << "\x1b[?25l" << std::flush;  // hide the cursor
    }
}

watch_terminal::~watch_terminal() {
    if (saved_->redraw) {
        std::cout << "\x1b[?25h" << std::flush;
    }
    if (saved_->keyboard_changed) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_->keyboard);
    }
    for (std::size_t i = 0; i < std::size(quit_signals); ++i) {
        sigaction(quit_signals[i], &saved_->actions[i], nullptr);
    }
}

bool watch_terminal::can_redraw() const {
    return saved_->redraw;
}

bool watch_terminal::wait_for_quit(std::chrono::milliseconds limit) {
    using clock = std::chrono::steady_clock;
    const clock::time_point deadline = clock::now() + limit;
    while (quit_signalled == 0) {
        // Keys are looked at even when the time is already up.
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now()).count();
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&input, saved_->keys ? 1 : 0, left > 0 ? static_cast<int>(left) : 0);
        if (ready == 0) {
            return false;
        }
        if (ready < 0) {
            continue;  // a signal came: the loop tells which
        }
        char keys[64];
        const ssize_t got = read(STDIN_FILENO, keys, sizeof keys);
        if (got <= 0) {
            // End of input (or it broke): only a signal or the time ends the wait now.
            saved_->keys = got < 0 && (errno == EINTR || errno == EAGAIN);
            continue;
        }
        for (ssize_t i = 0; i < got; ++i) {
            if (keys[i] == 'q' || keys[i] == 'Q') {
                return true;
            }
        }
    }
    return true;
}

}  // namespace tessel::phone
