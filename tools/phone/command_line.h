#pragma once
// The tool's command line: options, the words that make up commands, what runs them and
// prints the results, and the exit codes.

#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/phone/command_table.h"
#include "tools/phone/phone_session.h"

namespace tessel::phone {

enum exit_code : int {
    exit_ok = 0,
    exit_no_reply = 1,   // a reply did not come, or stopped half-way, within the time limit
    exit_usage = 2,      // unknown option, command or bad argument
    exit_port = 3,       // the port could not be opened, or a request could not be written
    exit_bad_reply = 4,  // a reply came but is not what the command draws
};

struct tool_options {
    bool json = false;
    bool show_bytes = false;  // requests and replies in hexadecimal on the error stream
    session_options session;
    std::string port;
    std::vector<std::string> command_words;  // everything after the port
    bool help = false;
    bool list_ports = false;  // list this computer's serial ports instead of using one
};

struct parsed_options {
    std::optional<tool_options> options;
    std::string error;
};

parsed_options parse_options(std::span<const std::string> args);

// One command to run: a known command with its argument words, a raw request ("send"), or
// the status display ("watch").
struct planned_command {
    const command_info* command = nullptr;  // null for a raw request and for watch
    std::vector<std::string> args;
    bool watch = false;
};

struct plan {
    std::vector<planned_command> commands;
    std::string error;
};

// Groups words into commands: each command word takes its argument, when it has one. FINF's
// argument is optional: the next word is taken unless it is a command word. "send" takes a
// four-character code and, optionally, one more word of hexadecimal bytes. "watch" takes
// nothing.
plan plan_commands(std::span<const std::string> words);

// Splits an interactive line into words: blanks separate, single or double quotes group, a
// backslash is an ordinary character (Windows paths). Answers nullopt for an open quote.
std::optional<std::vector<std::string>> split_words(std::string_view line);

// Runs the commands in order and prints each result; stops at the first failure when
// stop_on_error. Answers the exit code of the first failure, or exit_ok.
int run_commands(phone_session& session, std::span<const planned_command> commands,
                 const tool_options& options, std::ostream& out, std::ostream& err,
                 bool stop_on_error);

std::string usage_text();

}  // namespace tessel::phone
