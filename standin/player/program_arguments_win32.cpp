// The narrow argv of Windows is in the ANSI code page; the wide command line is not.

#include <windows.h>

#include <shellapi.h>

#include "standin/player/media_files.h"
#include "standin/player/program_arguments.h"

namespace standin {

std::vector<std::string> program_arguments(int /*argc*/, char** /*argv*/) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        arguments.push_back(path_to_utf8(std::filesystem::path(wide[i])));
    }
    LocalFree(wide);
    return arguments;
}

}  // namespace standin
