// Signals reach the watcher thread through a pipe (the handler only writes one byte); the
// thread also watches standard input when asked.
//
// SIGINT and SIGTERM are blocked in every thread but the watcher, so the handler always runs on
// a thread that lives until the watch ends. Delivered to any other thread a signal could be lost:
// a sanitizer's runtime may hold it back until that thread calls into it again, which a thread
// about to end never does.

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <thread>

#include "standin/player/stop_watch.h"

namespace standin {
namespace {

std::atomic<int> signal_pipe_write{-1};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads it");

void on_signal(int number) {
    const char byte = number == SIGINT ? 'i' : 't';
    if (const int fd = signal_pipe_write; fd >= 0) {
        [[maybe_unused]] const ssize_t ignored = write(fd, &byte, 1);
    }
}

}  // namespace

struct stop_watch::state {
    int pipe_fds[2] = {-1, -1};
    struct sigaction old_int {};
    struct sigaction old_term {};
    sigset_t old_mask{};
    std::thread watcher;
};

stop_watch::stop_watch(main_loop& loop, bool watch_stdin) : state_(std::make_unique<state>()) {
    if (pipe(state_->pipe_fds) != 0) {
        return;  // no watcher: the time limit still ends the run
    }
    fcntl(state_->pipe_fds[1], F_SETFL, O_NONBLOCK);
    signal_pipe_write = state_->pipe_fds[1];
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &state_->old_int);
    sigaction(SIGTERM, &action, &state_->old_term);

    // Threads started from here on, the component's among them, inherit the blocked mask.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, &state_->old_mask);

    state_->watcher =
        std::thread([&loop, read_fd = state_->pipe_fds[0], watch_stdin, stop_signals] {
            pthread_sigmask(SIG_UNBLOCK, &stop_signals, nullptr);
            bool stdin_open = watch_stdin;
            while (true) {
                pollfd fds[2] = {{read_fd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
                if (poll(fds, stdin_open ? 2 : 1, -1) < 0) {
                    continue;  // EINTR
                }
                if ((fds[0].revents & POLLIN) != 0) {
                    char byte = 0;
                    if (read(read_fd, &byte, 1) == 1) {
                        if (byte == 'q') {
                            return;
                        }
                        loop.request_stop(byte == 'i' ? "interrupted (SIGINT)"
                                                      : "terminated (SIGTERM)");
                    }
                }
                if (stdin_open && fds[1].revents != 0) {
                    char buffer[512];
                    if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
                        stdin_open = false;
                        loop.request_stop("end of standard input");
                    }
                }
            }
        });
}

stop_watch::~stop_watch() {
    if (state_->pipe_fds[0] < 0) {
        return;
    }
    const char quit = 'q';
    [[maybe_unused]] const ssize_t ignored = write(state_->pipe_fds[1], &quit, 1);
    state_->watcher.join();
    sigaction(SIGINT, &state_->old_int, nullptr);
    sigaction(SIGTERM, &state_->old_term, nullptr);
    pthread_sigmask(SIG_SETMASK, &state_->old_mask, nullptr);
    signal_pipe_write = -1;
    close(state_->pipe_fds[0]);
    close(state_->pipe_fds[1]);
}

}  // namespace standin
