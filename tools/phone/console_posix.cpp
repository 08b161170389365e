#include <unistd.h>

#include <iostream>

#include "tools/phone/console.h"

namespace tessel::phone {

std::vector<std::string> utf8_arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void prepare_console() {}

bool input_is_terminal() {
    return isatty(STDIN_FILENO) != 0;
}

bool read_input_line(std::string& line) {
    if (!std::getline(std::cin, line)) {
        return false;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return true;
}

}  // namespace tessel::phone
