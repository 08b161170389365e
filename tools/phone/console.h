#pragma once
// The terminal the tool talks to: UTF-8 arguments, output and input on every platform.

#include <string>
#include <vector>

namespace tessel::phone {

// The program's arguments (without the program name) as UTF-8.
std::vector<std::string> utf8_arguments(int argc, char** argv);

// Makes the console show UTF-8 output as text.
void prepare_console();

// True when standard input is an interactive terminal (a prompt is worth printing).
bool input_is_terminal();

// Reads one line of standard input as UTF-8, without its line end. False at end of input.
bool read_input_line(std::string& line);

}  // namespace tessel::phone
