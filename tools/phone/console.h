#pragma once
// The terminal the tool talks to: UTF-8 arguments, output and input on every platform.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace tessel::phone {

// The program's arguments (without the program name) as UTF-8.
std::vector<std::string> utf8_arguments(int argc, char** argv);

// Makes the console show the program's UTF-8 output as text. Windows: standard output and
// error that are a console are written as UTF-16 text; the console's code page is not touched.
void prepare_console();

// True when standard input is an interactive terminal (a prompt is worth printing).
bool input_is_terminal();

// Reads one line of standard input as UTF-8, without its line end. False at end of input.
bool read_input_line(std::string& line);

// True when standard error is an interactive terminal (progress is worth drawing there).
bool error_is_terminal();

// The terminal's width in characters; 80 when it cannot be told.
int terminal_columns();

// The terminal while a status display runs: keys come one at a time without echo, the cursor
// is hidden, Ctrl-C asks the display to end instead of ending the program. Everything is put
// back as it was when the object goes.
class watch_terminal {
  public:
    watch_terminal();
    ~watch_terminal();
    watch_terminal(const watch_terminal&) = delete;
    watch_terminal& operator=(const watch_terminal&) = delete;

    // True when standard output is a terminal that can redraw lines in place (ANSI sequences).
    bool can_redraw() const;

    // Waits up to limit for 'q' on standard input or for Ctrl-C (or a request to terminate);
    // true when one came, now or before.
    bool wait_for_quit(std::chrono::milliseconds limit);

  private:
    struct saved;
    std::unique_ptr<saved> saved_;
};

}  // namespace tessel::phone
