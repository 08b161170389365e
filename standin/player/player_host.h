#pragma once
// The player's side of the service framework: the host API object a component is handed and
// every service the player offers (console, version information, menu commands, playlists,
// playback, title formatting, location import), over the playlist and playback models.
//
// Usable on its own in tests:
//
//   standin::player_host_settings settings;
//   settings.clock = [&] { return now; };   // a clock the test moves
//   settings.console = collect_line;
//   standin::player_host player(settings);
//   tessel::host().api = &player.api();
//   player.playlists().create_playlist("Default");
//
// The services other than the console are the player's main-thread services and are not
// locked; the console and the host API object may be used from any thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "corvina/services.h"
#include "standin/player/playback_model.h"
#include "standin/player/playlist_model.h"

namespace standin {

// Receives one console line (without its line end).
using line_sink = std::function<void(std::string_view line)>;

// Writes each line to standard output and flushes it.
line_sink stdout_line_sink();

inline constexpr corvina::guid help_command_guid{
    0x91E349DA, 0x8800, 0x42E5, {0xBC, 0x8C, 0xF3, 0xA9, 0x25, 0x77, 0xAE, 0x84}};

inline constexpr const char* player_version_text = "1.0-standin";

struct player_host_settings {
    clock_function clock = steady_clock_seconds;
    std::uint32_t random_seed = std::random_device{}();
    line_sink console = stdout_line_sink();
    std::function<corvina::window_handle()> main_window = [] { return nullptr; };
    // Defaults to "the thread that built the player_host".
    std::function<bool()> is_main_thread;
};

class player_host {
  public:
    explicit player_host(player_host_settings settings = {});
    ~player_host();
    player_host(const player_host&) = delete;
    player_host& operator=(const player_host&) = delete;

    corvina::host_api& api();
    playlist_model& playlists() { return playlists_; }
    playback_model& playback() { return playback_; }

    // One line on the player's console.
    void print(std::string_view line);

    // Turns locations ("file://" + a path to a file or a folder) into tracks; missing files and
    // other locations give none and are named on the console.
    std::vector<service_ptr<track_object>> import_locations(const std::vector<std::string>& where);

    // Adds another service implementation (tests: a second console, say).
    void add_service(const corvina::guid& cls, corvina::service_base& service);

  private:
    class registry;
    struct services;

    player_host_settings settings_;
    playlist_model playlists_;
    playback_model playback_;
    std::unique_ptr<registry> registry_;
    std::unique_ptr<services> services_;
};

}  // namespace standin
