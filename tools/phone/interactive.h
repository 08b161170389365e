#pragma once
// The interactive prompt: one line of commands at a time, with a numbered history.

#include <functional>
#include <iosfwd>
#include <string>

#include "tools/phone/command_line.h"

namespace tessel::phone {

using line_reader = std::function<bool(std::string& line)>;

// Reads lines until "quit", "exit" or the end of input; a failed command is reported and the
// prompt goes on. Answers exit_ok.
int run_interactive(phone_session& session, const tool_options& options, const line_reader& read,
                    bool show_prompt, std::ostream& out, std::ostream& err);

}  // namespace tessel::phone
