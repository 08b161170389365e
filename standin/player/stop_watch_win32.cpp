// Ctrl+C and console close through a console control handler; end of standard input through a
// thread that reads it.

#include <windows.h>

#include <atomic>

#include "standin/player/stop_watch.h"

namespace standin {
namespace {

std::atomic<main_loop*> watched_loop{nullptr};

BOOL WINAPI on_console_event(DWORD event) {
    main_loop* loop = watched_loop;
    if (loop == nullptr) {
        return FALSE;
    }
    loop->request_stop(event == CTRL_C_EVENT ? "interrupted (Ctrl+C)" : "console closed");
    return TRUE;
}

DWORD WINAPI read_stdin_until_end(void*) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[512];
    DWORD got = 0;
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got != 0) {
    }
    if (main_loop* loop = watched_loop; loop != nullptr) {
        loop->request_stop("end of standard input");
    }
    return 0;
}

}  // namespace

struct stop_watch::state {
    HANDLE stdin_thread = nullptr;
};

stop_watch::stop_watch(main_loop& loop, bool watch_stdin) : state_(std::make_unique<state>()) {
    watched_loop = &loop;
    SetConsoleCtrlHandler(on_console_event, TRUE);
    if (watch_stdin) {
        state_->stdin_thread = CreateThread(nullptr, 0, read_stdin_until_end, nullptr, 0, nullptr);
    }
}

stop_watch::~stop_watch() {
    SetConsoleCtrlHandler(on_console_event, FALSE);
    watched_loop = nullptr;
    if (state_->stdin_thread != nullptr) {
        // A read still waiting is cancelled; should that fail the thread ends with the process.
        CancelSynchronousIo(state_->stdin_thread);
        WaitForSingleObject(state_->stdin_thread, 1000);
        CloseHandle(state_->stdin_thread);
    }
}

}  // namespace standin
