#pragma once
// One whole session of the component with the player, as the player and a phone drive it, with
// one chosen allocation of the component failing: the module is loaded, its factories walked,
// its settings loaded; it starts up and connects on its own over a pseudo-terminal; the phone
// sends each of the 28 commands; the preferences page is opened, its settings changed and
// Connect clicked; the settings are saved; the player shuts the component down and unloads it.
// The link's reader runs unpaced (the test module's pacing), so a session takes milliseconds.
//
// Every step checks what the player and the phone may rely on whatever allocation failed:
// no exception reaches the player; a command the failure hit is dropped with at most one
// console line and the link answers CHCK afterwards; an activation it hit leaves the link
// inactive with one error line, and a later Connect works; the saved settings are whole, each
// one either its earlier or its new value; the module unloads.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tessel::test {

struct session_outcome {
    std::size_t allocations = 0;  // counted by the session's end
    std::string failed_in;        // the step during which the chosen allocation failed
    std::vector<std::string> problems;
};

// What the sessions share: the music folders, the playlist's tracks, the module's path.
class session_stage {
  public:
    explicit session_stage(std::string module_path);
    ~session_stage();
    session_stage(const session_stage&) = delete;
    session_stage& operator=(const session_stage&) = delete;

    const std::string& module_path() const { return module_path_; }
    const std::filesystem::path& music() const { return music_; }
    // A folder of the music folder with many long names, which DLST lists.
    std::filesystem::path big_folder() const;
    std::string track_path(const char* name) const;

  private:
    std::string module_path_;
    std::filesystem::path music_;
};

// Runs one session; fail_at 0 fails nothing. A clean session's reply sizes are what later ones
// expect: run one first and hand its replies to the others.
struct reply_sizes {
    std::vector<std::size_t> sizes;  // per command of the script
};

session_outcome run_session(const session_stage& stage, std::size_t fail_at, reply_sizes& replies);

}  // namespace tessel::test
