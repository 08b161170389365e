#include "standin/player/command_line.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace standin {
namespace {

bool parse_seconds(const std::string& text, double& out) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end == nullptr || *end != '\0' || errno != 0 || !std::isfinite(value) ||
        value < 0) {
        return false;
    }
    out = value;
    return true;
}

bool parse_seed(const std::string& text, std::uint32_t& out) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || *end != '\0' || errno != 0 || value > 0xFFFFFFFFull) {
        return false;
    }
    out = static_cast<std::uint32_t>(value);
    return true;
}

}  // namespace

parsed_command_line parse_command_line(const std::vector<std::string>& arguments) {
    parsed_command_line result;
    player_options& o = result.options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> inline_value;
        if (name.rfind("--", 0) == 0) {
            if (const std::size_t equals = name.find('='); equals != std::string::npos) {
                inline_value = name.substr(equals + 1);
                name.resize(equals);
            }
        }
        const auto value = [&]() -> std::optional<std::string> {
            if (inline_value) {
                return inline_value;
            }
            if (i + 1 < arguments.size()) {
                return arguments[++i];
            }
            result.error = name + " needs a value";
            return std::nullopt;
        };
        const auto flag = [&] {
            if (inline_value) {
                result.error = name + " takes no value";
            }
        };

        if (name == "--help" || name == "-h") {
            flag();
            o.show_help = true;
        } else if (name == "--version") {
            flag();
            o.show_version = true;
        } else if (name == "--component" || name == "--config" || name == "--port" ||
                   name == "--playlist" || name == "--load" || name == "--time-limit" ||
                   name == "--remake-main-window" || name == "--seed" || name == "--page-type" ||
                   name == "--page-click" || name == "--page-check" || name == "--page-choose" ||
                   name == "--page-browse") {
            const auto v = value();
            if (!v) {
                return result;
            }
            if (name == "--component") {
                o.component_path = *v;
            } else if (name == "--config") {
                o.config_path = *v;
            } else if (name == "--port") {
                o.port = *v;
            } else if (name == "--playlist") {
                o.playlist_name = *v;
            } else if (name == "--load") {
                o.load_paths.push_back(*v);
            } else if (name == "--time-limit") {
                double seconds = 0;
                if (!parse_seconds(*v, seconds)) {
                    result.error = "--time-limit needs a number of seconds, not \"" + *v + "\"";
                    return result;
                }
                o.time_limit_seconds = seconds;
            } else if (name == "--remake-main-window") {
                double seconds = 0;
                if (!parse_seconds(*v, seconds)) {
                    result.error =
                        "--remake-main-window needs a number of seconds, not \"" + *v + "\"";
                    return result;
                }
                o.remake_main_window_seconds = seconds;
            } else if (name == "--seed") {
                std::uint32_t seed = 0;
                if (!parse_seed(*v, seed)) {
                    result.error = "--seed needs a whole number from 0 to 4294967295";
                    return result;
                }
                o.seed = seed;
            } else {
                o.page_actions.emplace_back(name.substr(std::string("--page-").size()), *v);
            }
        } else if (name == "--virtual-port") {
            flag();
            o.virtual_port = true;
        } else if (name == "--page-browse-cancel") {
            flag();
            o.page_actions.emplace_back("browse-cancel", "");
        } else if (name == "--play") {
            flag();
            o.play = true;
        } else if (name == "--watch-stdin") {
            flag();
            o.watch_stdin = true;
        } else if (name.rfind("-", 0) == 0 && name != "-") {
            result.error = "unknown option " + name + " (see --help)";
            return result;
        } else {
            o.load_paths.push_back(name);
        }
        if (!result.error.empty()) {
            return result;
        }
    }
    if (o.port && o.virtual_port) {
        result.error = "--port and --virtual-port cannot be used together";
    }
    return result;
}

std::string usage_text() {
    return R"(Usage: corvina-standin [options] [FILE_OR_FOLDER ...]

Plays the part of the corvina media player for a component module, without a screen and
without sound: loads the module, offers it the player's services (console, playlists,
simulated playback with a running clock, title formatting, file import), starts it, serves
its messages until told to stop, shuts it down and saves its settings.

Options:
  --component PATH      the component module
                        (default: the tessel_link module beside this program)
  --config FILE         the component's settings file (default: corvina-standin.cfg in the
                        current folder). A missing file means default settings; the file is
                        written when the player stops.
  --port NAME           the serial port the component opens: a device path on POSIX
                        (/dev/rfcomm0, /dev/pts/3), a name such as COM4 on Windows
  --virtual-port        POSIX: make a virtual serial cable, print the end for the phone side
                        and give the other end to the component as its port for this run
                        (the saved settings keep the port they had)
  --playlist NAME       the playlist files are loaded into (default: "Default")
  --load PATH           a file or folder to load into that playlist; folders are read
                        recursively, in sorted order. May be repeated; paths given without
                        an option are loaded too.
  --play                start playback once the files are loaded
  --time-limit SECONDS  stop after this many seconds
  --watch-stdin         stop when standard input ends
  --seed N              seed of the random and shuffle playback orders
  --remake-main-window SECONDS
                        destroy the main window this many seconds after start-up and make
                        a new one, as a player does when its user interface changes; then
                        print "standin: main window made again" (Windows: with the number of
                        message-only windows of the main thread)

Changing the component's settings as a user does, on its preferences page (opened after
start-up, the actions done in the order given, then closed; the settings are saved at exit):
  --page-type ID=TEXT   type TEXT into field ID (replacing what it held)
  --page-click ID       click button or check box ID
  --page-check ID=0|1   set check box ID to unchecked or checked
  --page-choose ID=N    choose item N (from 0) of drop-down list ID
  --page-browse FOLDER  the folder the next folder browser answers
  --page-browse-cancel  the next folder browser is cancelled
  Control ids of the "Ambrel" page: 1004 port (typed, or chosen from the ports found),
  1005 Connect, 1006 connect on start-up,
  1002 music folders, 1003 browse ("..."), 1007 title format, 1008 Help,
  1009 random next in shuffle, 1011 use a specific playlist, 1010 that playlist.

  --version             print the player's version
  -h, --help            print this text

The player stops on SIGINT (Ctrl+C), SIGTERM, the end of standard input with
--watch-stdin, or the time limit. Everything the component writes to the player's console
goes to standard output, one line each.

Exit status: 0 when the component ran and its settings were saved, 1 when it could not be
loaded or run, or its settings could not be saved, 2 for a bad command line.
)";
}

}  // namespace standin
