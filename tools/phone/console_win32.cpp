#include <windows.h>
// shellapi.h needs the definitions of windows.h first.
#include <shellapi.h>

#include <iostream>
#include <memory>

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

void prepare_console() {
    SetConsoleOutputCP(CP_UTF8);
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

}  // namespace tessel::phone
