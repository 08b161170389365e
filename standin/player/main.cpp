// corvina-standin: the stand-in media player.

#include <cstdio>
#include <string>
#include <vector>

#include "standin/player/command_line.h"
#include "standin/player/player_host.h"
#include "standin/player/program_arguments.h"
#include "standin/player/standin_player.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = standin::program_arguments(argc, argv);
    const standin::parsed_command_line parsed = standin::parse_command_line(arguments);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "corvina-standin: %s\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.options.show_help) {
        std::fputs(standin::usage_text().c_str(), stdout);
        return 0;
    }
    if (parsed.options.show_version) {
        std::printf("corvina-standin %s\n", standin::player_version_text);
        return 0;
    }
    return standin::run_player(parsed.options);
}
