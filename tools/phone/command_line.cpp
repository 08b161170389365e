#include "tools/phone/command_line.h"

#include <charconv>
#include <ostream>

#include "tools/phone/reply_format.h"
#include "tools/phone/watch.h"

namespace tessel::phone {
namespace {

std::optional<std::chrono::milliseconds> parse_millis(std::string_view text) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value <= 0 || value > 3600000) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(value);
}

bool is_hex_word(std::string_view word) {
    if (word.empty() || word.size() % 2 != 0) {
        return false;
    }
    for (char c : word) {
        const bool digit =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!digit) {
            return false;
        }
    }
    return true;
}

bool is_command_word(std::string_view word) {
    return word == "send" || word == "watch" || find_command(word);
}

int exit_code_of(exchange_outcome outcome) {
    switch (outcome) {
        case exchange_outcome::ok:
            return exit_ok;
        case exchange_outcome::no_reply:
        case exchange_outcome::cut_off:
            return exit_no_reply;
        case exchange_outcome::bad_reply:
            return exit_bad_reply;
        case exchange_outcome::write_failed:
        case exchange_outcome::port_failed:
            return exit_port;
    }
    return exit_bad_reply;
}

std::string_view outcome_name(exchange_outcome outcome) {
    switch (outcome) {
        case exchange_outcome::ok:
            return "ok";
        case exchange_outcome::no_reply:
            return "no_reply";
        case exchange_outcome::cut_off:
            return "cut_off";
        case exchange_outcome::bad_reply:
            return "bad_reply";
        case exchange_outcome::write_failed:
            return "write_failed";
        case exchange_outcome::port_failed:
            return "port_failed";
    }
    return "error";
}

void print_json(const std::string& name, const exchange_result& result, bool expects_reply,
                std::ostream& out) {
    out << R"({"command":)" << json_string(name) << R"(,"request":")"
        << hex_bytes(result.request, "") << "\"";
    out << R"(,"reply":)";
    if (expects_reply || !result.reply.empty()) {
        out << "\"" << hex_bytes(result.reply, "") << "\"";
    } else {
        out << "null";
    }
    if (result.value) {
        out << R"(,"value":)" << format_json(*result.value);
    }
    if (result.outcome != exchange_outcome::ok) {
        out << R"(,"error":{"kind":")" << outcome_name(result.outcome) << R"(","message":)"
            << json_string(result.error) << "}";
    }
    out << "}\n";
}

void print_text(const std::string& name, const exchange_result& result, bool expects_reply,
                bool header, std::ostream& out) {
    if (result.outcome != exchange_outcome::ok) {
        return;
    }
    if (!expects_reply) {
        out << name << " sent\n";
        return;
    }
    if (header) {
        out << "--- " << name << "\n";
    }
    if (result.value) {
        out << format_text(*result.value);
    } else if (result.reply.empty()) {
        out << "(no reply)\n";
    } else {
        out << hex_bytes(result.reply) << "\n";
    }
}

}  // namespace

parsed_options parse_options(std::span<const std::string> args) {
    tool_options options;
    std::size_t at = 0;
    auto value_of = [&](std::string_view name, std::string& error) -> std::optional<std::string> {
        const std::string& word = args[at];
        if (word.size() > name.size() && word[name.size()] == '=') {
            return word.substr(name.size() + 1);
        }
        if (at + 1 >= args.size()) {
            error = std::string(name) + " needs a value";
            return std::nullopt;
        }
        return args[++at];
    };
    for (; at < args.size(); ++at) {
        const std::string& word = args[at];
        if (word == "--") {
            ++at;
            break;
        }
        if (word.size() < 2 || word[0] != '-') {
            break;
        }
        std::string error;
        if (word == "-h" || word == "--help") {
            options.help = true;
        } else if (word == "--list-ports") {
            options.list_ports = true;
        } else if (word == "--json") {
            options.json = true;
        } else if (word == "--bytes") {
            options.show_bytes = true;
        } else if (word.starts_with("--timeout") || word.starts_with("--quiet")) {
            const std::string_view name = word.starts_with("--timeout") ? "--timeout" : "--quiet";
            if (word.size() != name.size() && word[name.size()] != '=') {
                return {std::nullopt, "unknown option " + word};
            }
            const auto value = value_of(name, error);
            if (!value) {
                return {std::nullopt, error};
            }
            const auto millis = parse_millis(*value);
            if (!millis) {
                return {std::nullopt, std::string(name) + ": expected milliseconds (1..3600000)"};
            }
            (name == "--timeout" ? options.session.timeout : options.session.quiet) = *millis;
        } else {
            return {std::nullopt, "unknown option " + word};
        }
    }
    if (options.help || options.list_ports) {
        return {options, {}};
    }
    if (at >= args.size()) {
        return {std::nullopt, "no port given"};
    }
    options.port = args[at++];
    options.command_words.assign(args.begin() + static_cast<std::ptrdiff_t>(at), args.end());
    return {options, {}};
}

plan plan_commands(std::span<const std::string> words) {
    plan result;
    std::size_t at = 0;
    while (at < words.size()) {
        const std::string& word = words[at++];
        planned_command planned;
        if (word == "watch") {
            planned.watch = true;
        } else if (word == "send") {
            if (at >= words.size()) {
                result.error = "send: expected a four-character code";
                return result;
            }
            planned.args.push_back(words[at++]);
            if (at < words.size() && is_hex_word(words[at]) && !is_command_word(words[at])) {
                planned.args.push_back(words[at++]);
            }
        } else {
            planned.command = find_command(word);
            if (planned.command == nullptr) {
                result.error = "unknown command '" + word + "' (see --help)";
                return result;
            }
            switch (planned.command->argument) {
                case argument_kind::none:
                    break;
                case argument_kind::optional_text:
                    if (at < words.size() && !is_command_word(words[at])) {
                        planned.args.push_back(words[at++]);
                    }
                    break;
                default:
                    if (at >= words.size()) {
                        result.error = word + " needs an argument (see --help)";
                        return result;
                    }
                    planned.args.push_back(words[at++]);
            }
        }
        result.commands.push_back(std::move(planned));
    }
    return result;
}

std::optional<std::vector<std::string>> split_words(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool in_word = false;
    char quote = 0;
    for (char c : line) {
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
            } else {
                word += c;
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
            in_word = true;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (in_word) {
                words.push_back(std::move(word));
                word.clear();
                in_word = false;
            }
        } else {
            word += c;
            in_word = true;
        }
    }
    if (quote != 0) {
        return std::nullopt;
    }
    if (in_word) {
        words.push_back(std::move(word));
    }
    return words;
}

int run_commands(phone_session& session, std::span<const planned_command> commands,
                 const tool_options& options, std::ostream& out, std::ostream& err,
                 bool stop_on_error) {
    int first_failure = exit_ok;
    // Arguments are checked before anything is sent: a bad word late on the line must not
    // leave the player half-driven.
    std::vector<encoded_request> requests;
    for (const planned_command& planned : commands) {
        if (planned.watch) {
            requests.emplace_back();
            continue;
        }
        requests.push_back(planned.command ? encode_request(*planned.command, planned.args)
                                           : encode_raw_request(planned.args));
        if (!requests.back().error.empty()) {
            err << "tessel-phone: " << requests.back().error << "\n";
            return exit_usage;
        }
    }
    const bool header = commands.size() > 1;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const planned_command& planned = commands[i];
        const std::string name = planned.watch     ? "watch"
                                 : planned.command ? std::string(planned.command->code)
                                                   : "send";
        const bool expects_reply =
            planned.command == nullptr || planned.command->reply != reply_kind::none;
        exchange_result result;
        if (planned.watch) {
            out.flush();
            result = run_watch(session, options, out);
        } else {
            result = planned.command ? session.run(*planned.command, std::move(requests[i].bytes))
                                     : session.run_raw(std::move(requests[i].bytes));
            if (options.show_bytes) {
                err << "> " << hex_bytes(result.request) << "\n";
                if (!result.reply.empty()) {
                    err << "< " << hex_bytes(result.reply) << "\n";
                }
            }
            if (options.json) {
                print_json(name, result, expects_reply, out);
            } else {
                print_text(name, result, expects_reply, header, out);
            }
        }
        out.flush();
        if (result.outcome != exchange_outcome::ok) {
            err << "tessel-phone: " << name << ": " << result.error;
            if (!result.reply.empty() && !options.show_bytes) {
                err << "; received " << hex_bytes(result.reply);
            }
            err << "\n";
            if (first_failure == exit_ok) {
                first_failure = exit_code_of(result.outcome);
            }
            if (stop_on_error) {
                return first_failure;
            }
            if (result.outcome == exchange_outcome::port_failed) {
                return first_failure;
            }
            // Bytes of a broken reply may still be on their way: wait for a quiet line.
            session.drain();
        }
    }
    return first_failure;
}

std::string usage_text() {
    std::string text =
        "Usage: tessel-phone [OPTIONS] PORT [COMMAND [ARGUMENT]]...\n"
        "       tessel-phone --list-ports\n"
        "\n"
        "Plays the phone's part of the remote-control protocol over a serial port: sends\n"
        "commands to the PC and prints the decoded replies. PORT is a device path on POSIX\n"
        "(/dev/rfcomm0) and a COM port name on Windows (COM4).\n"
        "\n"
        "Several commands run one after another, each waiting for its reply, at most one\n"
        "command per 100 ms; the first failure stops the run. Without a command an\n"
        "interactive prompt reads one line of commands at a time: plain lines, no line\n"
        "editing of its own; 'history' lists earlier lines, '!N' runs line N again, '!!' the\n"
        "last one, 'help' shows the commands, 'quit' or end of input leaves. Quote a path\n"
        "holding blanks with \"...\" or '...'; a backslash is an ordinary character.\n"
        "Bytes already waiting on the line when the tool starts are dropped first.\n"
        "\n"
        "While a long reply (list, dlst, plst) comes in, one line on standard error shows the\n"
        "bytes and entries received so far and the rate, with a bar when the number of entries\n"
        "is known (plen just before plst). It is drawn only when standard error is a terminal,\n"
        "redrawn in place, and gone when the reply is complete: standard output is the same.\n"
        "\n"
        "Options:\n"
        "  --json          print one JSON object per command, one per line\n"
        "  --bytes         show each request (>) and reply (<) in hexadecimal on stderr\n"
        "  --timeout MS    how long to wait for a reply to begin, and the longest silence\n"
        "                  inside a reply (default 3000); a long LIST may need more\n"
        "  --quiet MS      silence that ends an INFO reply, whose title has no end mark\n"
        "                  (default 250)\n"
        "  --list-ports    list this computer's serial ports, each with the device it\n"
        "                  belongs to (Bluetooth: the phone and outgoing or incoming),\n"
        "                  and exit; no port is opened\n"
        "  -h, --help      show this text\n"
        "\n"
        "Commands (the four-letter code or the longer word, in any letter case):\n";
    for (const command_info& command : all_commands()) {
        std::string names(command.code);
        for (char& c : names) {
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
        if (!command.alias.empty()) {
            names += ", " + std::string(command.alias);
        }
        switch (command.argument) {
            case argument_kind::text:
                names += " PATH";
                break;
            case argument_kind::optional_text:
                names += " [PATH]";
                break;
            case argument_kind::u32:
                names += " SECONDS";
                break;
            case argument_kind::u16:
                names += " INDEX";
                break;
            case argument_kind::byte:
                names += " LEVEL";
                break;
            case argument_kind::boolean:
                names += " on|off";
                break;
            case argument_kind::none:
                break;
        }
        names.resize(std::max<std::size_t>(names.size() + 1, 30), ' ');
        text += "  " + names + std::string(command.summary) + "\n";
    }
    text +=
        "  send CODE [HEX]               send four characters and optional bytes given in\n"
        "                                hexadecimal as they are; print what comes back\n"
        "  watch                         follow the player until 'q' or Ctrl-C: on a terminal\n"
        "                                a display of the title, a bar with the position and\n"
        "                                the length, playing, paused or stopped, the volume,\n"
        "                                shuffle and repeat, redrawn in place twice a second\n"
        "                                (asks inf2 and gvol); otherwise, or with --json, one\n"
        "                                line for each change (title, state, volume, shuffle,\n"
        "                                repeat, a seek), not for the position playing on\n"
        "\n"
        "Exit status:\n"
        "  0  every command was sent and every reply decoded\n"
        "  1  a reply did not come, or stopped half-way, within the time limit\n"
        "  2  usage error: unknown option or command, or an argument that does not fit\n"
        "  3  the port could not be opened or written, or it failed while in use\n"
        "  4  a reply came but could not be decoded\n"
        "\n"
        "Examples:\n"
        "  tessel-phone /dev/rfcomm0 info gvol plst\n"
        "  tessel-phone COM4 play 'C:\\Music\\a.mp3'\n"
        "  tessel-phone --json COM4 dlst 'C:\\Music'\n"
        "  tessel-phone /dev/rfcomm0 watch\n";
    return text;
}

}  // namespace tessel::phone
