#include <windows.h>
// shellapi.h needs the definitions of windows.h first.
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iostream>
#include <memory>
#include <streambuf>
#include <string>

#include "tools/phone/console.h"

namespace tessel::phone {
namespace {

std::string to_utf8(const wchar_t* text, int length) {
    if (length == 0) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    }
    return out;
}

struct local_free {
    void operator()(LPWSTR* block) const { LocalFree(block); }
};

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

// Set by Ctrl-C (or Ctrl-Break, or the console closing) while a watch runs.
std::atomic<bool> quit_requested{false};
std::atomic<HANDLE> quit_event{nullptr};

BOOL WINAPI note_quit(DWORD kind) {
    if (kind != CTRL_C_EVENT && kind != CTRL_BREAK_EVENT && kind != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    quit_requested = true;
    if (const HANDLE event = quit_event.load(); event != nullptr) {
        SetEvent(event);
    }
    return TRUE;
}

}  // namespace

std::vector<std::string> utf8_arguments(int argc, char** argv) {
    // argv holds the arguments in the ANSI code page, which cannot carry every path.
    int count = 0;
    std::unique_ptr<LPWSTR, local_free> wide(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!wide) {
        return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    }
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
        const wchar_t* arg = wide.get()[i];
        args.push_back(to_utf8(arg, static_cast<int>(wcslen(arg))));
    }
    return args;
}

namespace {

// Standard output or error on a console, written as UTF-16 through WriteConsoleW: the console's
// code page is the user's and stays so, however the program ends (a code page changed would
// have to be put back on every way out, which a program ended from outside never does).
class console_text_buffer final : public std::streambuf {
  public:
    explicit console_text_buffer(HANDLE console) : console_(console) {
        setp(pending_, pending_ + sizeof pending_);
    }
    console_text_buffer(const console_text_buffer&) = delete;
    console_text_buffer& operator=(const console_text_buffer&) = delete;

  protected:
    int_type overflow(int_type c) override {
        if (!flush_whole_characters()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override { return flush_whole_characters() ? 0 : -1; }

  private:
    // Writes what is pending up to its last whole UTF-8 character; the start of a character
    // cut at the buffer's end waits for its other bytes.
    bool flush_whole_characters() {
        const int size = static_cast<int>(pptr() - pbase());
        int whole = size;
        for (int back = 1; back <= 3 && back <= size; ++back) {
            const auto byte = static_cast<unsigned char>(pending_[size - back]);
            if ((byte & 0xC0) == 0x80) {
                continue;  // a continuation byte: look further back
            }
            const int length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
            if (length > back) {
                whole = size - back;
            }
            break;
        }
        bool written = true;
        if (whole > 0) {
            const int wide_size = MultiByteToWideChar(CP_UTF8, 0, pending_, whole, nullptr, 0);
            std::wstring wide(static_cast<std::size_t>(std::max(wide_size, 0)), L'\0');
            MultiByteToWideChar(CP_UTF8, 0, pending_, whole, wide.data(), wide_size);
            DWORD done = 0;
            written =
                wide.empty() || WriteConsoleW(console_, wide.data(),
                                              static_cast<DWORD>(wide.size()), &done, nullptr) != 0;
        }
        std::memmove(pending_, pending_ + whole, static_cast<std::size_t>(size - whole));
        setp(pending_, pending_ + sizeof pending_);
        pbump(size - whole);
        return written;
    }

    HANDLE console_;
    char pending_[4096];
};

// Puts the stream's output through WriteConsoleW when the handle is a console.
void write_as_text(std::ostream& stream, DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || GetConsoleMode(handle, &mode) == 0) {
        return;  // redirected: UTF-8 bytes as they are
    }
    // Lives as long as the stream; never freed, as the stream may be written at exit.
    stream.flush();
    stream.rdbuf(new console_text_buffer(handle));
}

}  // namespace

void prepare_console() {
    write_as_text(std::cout, STD_OUTPUT_HANDLE);
    write_as_text(std::cerr, STD_ERROR_HANDLE);
}

bool input_is_terminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool read_input_line(std::string& line) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode) == 0) {
        // Redirected input: bytes as they come, taken to be UTF-8.
        if (!std::getline(std::cin, line)) {
            return false;
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        return true;
    }
    std::wstring wide;
    wchar_t chunk[256];
    while (true) {
        DWORD read = 0;
        if (ReadConsoleW(input, chunk, 256, &read, nullptr) == 0 || read == 0) {
            if (wide.empty()) {
                return false;
            }
            break;
        }
        wide.append(chunk, read);
        if (wide.back() == L'\n') {
            break;
        }
    }
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r')) {
        wide.pop_back();
    }
    // Ctrl+Z on a line of its own ends the input, as it does for other console programs.
    if (wide == L"\x1A") {
        return false;
    }
    line = to_utf8(wide.data(), static_cast<int>(wide.size()));
    return true;
}

bool error_is_terminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

int terminal_columns() {
    for (const DWORD stream : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        CONSOLE_SCREEN_BUFFER_INFO screen{};
        if (GetConsoleScreenBufferInfo(GetStdHandle(stream), &screen) != 0) {
            return screen.srWindow.Right - screen.srWindow.Left + 1;
        }
    }
    return 80;
}

struct watch_terminal::saved {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool keys = false;  // the input is a console: key presses can be read
    DWORD input_mode = 0;
    bool redraw = false;  // the output is a console that takes ANSI sequences
    DWORD output_mode = 0;
};

watch_terminal::watch_terminal() : saved_(std::make_unique<saved>()) {
    quit_requested = false;
    quit_event = saved_->event;
    SetConsoleCtrlHandler(note_quit, TRUE);
    if (GetConsoleMode(saved_->input, &saved_->input_mode) != 0) {
        // Keys one at a time, not echoed; Ctrl-C still reaches the handler.
        saved_->keys =
            SetConsoleMode(saved_->input,
                           saved_->input_mode &
                               ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT)) != 0;
    }
    // Consoles before Windows 10 know no ANSI sequences: they get one line for each change.
    saved_->redraw = GetConsoleMode(saved_->output, &saved_->output_mode) != 0 &&
                     SetConsoleMode(saved_->output,
                                    saved_->output_mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
    if (saved_->redraw) {
        std::cout << "\x1b[?25l" << std::flush;  // hide the cursor
    }
}

watch_terminal::~watch_terminal() {
    if (saved_->redraw) {
        std::cout << "\x1b[?25h" << std::flush;
        SetConsoleMode(saved_->output, saved_->output_mode);
    }
    if (saved_->keys) {
        SetConsoleMode(saved_->input, saved_->input_mode);
    }
    SetConsoleCtrlHandler(note_quit, FALSE);
    quit_event = nullptr;
    if (saved_->event != nullptr) {
        CloseHandle(saved_->event);
    }
}

bool watch_terminal::can_redraw() const {
    return saved_->redraw;
}

bool watch_terminal::wait_for_quit(std::chrono::milliseconds limit) {
    const ULONGLONG deadline =
        GetTickCount64() + static_cast<ULONGLONG>(std::max<long long>(limit.count(), 0));
    while (!quit_requested) {
        // Keys are looked at even when the time is already up.
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        const HANDLE waits[2] = {saved_->event, saved_->input};
        const DWORD woken = WaitForMultipleObjects(saved_->keys ? 2 : 1, waits, FALSE, left);
        if (woken != WAIT_OBJECT_0 + 1) {
            return quit_requested;  // time is up, or Ctrl-C
        }
        INPUT_RECORD records[16];
        DWORD read = 0;
        if (ReadConsoleInputW(saved_->input, records, 16, &read) == 0) {
            saved_->keys = false;
            continue;
        }
        for (DWORD i = 0; i < read; ++i) {
            const INPUT_RECORD& record = records[i];
            if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown &&
                (record.Event.KeyEvent.uChar.UnicodeChar == L'q' ||
                 record.Event.KeyEvent.uChar.UnicodeChar == L'Q')) {
                return true;
            }
        }
    }
    return true;
}

}  // namespace tessel::phone
