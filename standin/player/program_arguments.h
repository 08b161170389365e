#pragma once
// The program's arguments in UTF-8, whatever the platform's own encoding of them.

#include <string>
#include <vector>

namespace standin {

// The arguments after the program name.
std::vector<std::string> program_arguments(int argc, char** argv);

}  // namespace standin
