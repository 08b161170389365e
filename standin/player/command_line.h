#pragma once
// The stand-in player's command line.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace standin {

struct player_options {
    std::string component_path;  // empty: beside the program
    std::string config_path = "corvina-standin.cfg";
    std::optional<std::string> port;
    bool virtual_port = false;
    std::string playlist_name = "Default";
    std::vector<std::string> load_paths;
    bool play = false;
    std::optional<double> time_limit_seconds;
    // A change of the user interface: the main window destroyed and made anew this many
    // seconds after start-up.
    std::optional<double> remake_main_window_seconds;
    bool watch_stdin = false;
    std::optional<std::uint32_t> seed;
    // Acting on the component's preferences page as a user would, in order: pairs of an
    // action (type, click, check, choose, browse, browse-cancel) and its argument.
    std::vector<std::pair<std::string, std::string>> page_actions;
    bool show_help = false;
    bool show_version = false;
};

struct parsed_command_line {
    player_options options;
    std::string error;  // empty when the command line was good
};

parsed_command_line parse_command_line(const std::vector<std::string>& arguments);

std::string usage_text();

}  // namespace standin
