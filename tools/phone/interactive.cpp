#include "tools/phone/interactive.h"

#include <charconv>
#include <ostream>
#include <vector>

namespace tessel::phone {
namespace {

constexpr std::string_view prompt_help =
    "Type commands as on the command line (info, seek 300, play \"C:\\Music\\a.mp3\", ...).\n"
    "watch: follow the player until q   history: earlier lines   !N: run line N again\n"
    "!!: run the last line   quit: leave\n"
    "Run tessel-phone --help for the list of commands.\n";

// "!!" or "!N" into the line it names; nullopt with an error text when there is none.
std::optional<std::string> recall(const std::string& line, const std::vector<std::string>& history,
                                  std::string& error) {
    if (line == "!!") {
        if (history.empty()) {
            error = "the history is empty";
            return std::nullopt;
        }
        return history.back();
    }
    std::size_t number = 0;
    const char* end = line.data() + line.size();
    const auto [ptr, ec] = std::from_chars(line.data() + 1, end, number);
    if (ec != std::errc() || ptr != end || number == 0 || number > history.size()) {
        error = "no line " + line.substr(1) + " in the history";
        return std::nullopt;
    }
    return history[number - 1];
}

}  // namespace

int run_interactive(phone_session& session, const tool_options& options, const line_reader& read,
                    bool show_prompt, std::ostream& out, std::ostream& err) {
    std::vector<std::string> history;
    std::string line;
    while (true) {
        if (show_prompt) {
            out << "tessel> " << std::flush;
        }
        if (!read(line)) {
            if (show_prompt) {
                out << "\n";
            }
            return exit_ok;
        }
        if (!line.empty() && line[0] == '!') {
            std::string error;
            const auto recalled = recall(line, history, error);
            if (!recalled) {
                err << "tessel-phone: " << error << "\n";
                continue;
            }
            line = *recalled;
            out << line << "\n";
        }
        const auto words = split_words(line);
        if (!words) {
            err << "tessel-phone: a quote is not closed\n";
            continue;
        }
        if (words->empty()) {
            continue;
        }
        const std::string& first = words->front();
        if (first == "quit" || first == "exit") {
            return exit_ok;
        }
        if (first == "help") {
            out << prompt_help;
            continue;
        }
        if (first == "history") {
            for (std::size_t i = 0; i < history.size(); ++i) {
                out << "  " << i + 1 << "  " << history[i] << "\n";
            }
            continue;
        }
        history.push_back(line);
        const plan planned = plan_commands(*words);
        if (!planned.error.empty()) {
            err << "tessel-phone: " << planned.error << "\n";
            continue;
        }
        run_commands(session, planned.commands, options, out, err, false);
    }
}

}  // namespace tessel::phone
