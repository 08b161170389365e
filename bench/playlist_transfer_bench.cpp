// PLST of a full playlist (65,535 entries) through host_control on the stand-in player's
// services, and the same titles formatted alone through the same services, so that the part
// spent outside title formatting shows. Smaller playlists show how the cost grows.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "control/host_control.h"
#include "corvina/class_guids.h"
#include "protocol/command_code.h"
#include "protocol/phone_link.h"
#include "standin/player/track_object.h"
#include "support/host_access.h"

namespace tessel::bench {
namespace {

constexpr const char* title_script = "$if2(%artist% - %title%, %_filename_ext%)";

// A playlist of count tracks that are never read from disk; every fifth has no tags and is
// shown by its file name, every seventh has a non-ASCII title.
void fill_playlist(standin::player_host& player, std::size_t count) {
    const std::size_t list = player.playlists().create_playlist("Default");
    std::vector<standin::service_ptr<standin::track_object>> tracks;
    tracks.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        standin::track_metadata tags;
        if (i % 5 != 0) {
            tags.tags["artist"] = "Artist " + std::to_string(i / 12);
            tags.tags["title"] =
                (i % 7 == 0 ? "Chanson \xC3\xA0 la ligne " : "Song number ") + std::to_string(i);
        }
        tags.length = 200.0;
        tracks.push_back(standin::make_counted<standin::track_object>(
            "C:\\Music\\Album " + std::to_string(i / 12) + "\\" + std::to_string(i % 12) +
                " Track.mp3",
            std::move(tags)));
    }
    player.playlists().insert(list, standin::no_index, tracks, std::vector<bool>(count, false));
    player.playlists().set_active(list);
    player.playback().play_item(list, count / 2);
}

// Every title of the playlist formatted as host_control does it (a lookup of the formatting
// service and a fresh compile per title), without the playlist enumeration around it.
double format_titles_alone(standin::player_host& player, std::size_t count) {
    const std::size_t list = player.playlists().active();
    std::size_t bytes = 0;
    const auto start = clock::now();
    for (std::size_t i = 0; i < count; ++i) {
        string8 title;
        const auto formatter = get_single_service<corvina::title_format_service>(
            corvina::class_guids::title_format_service);
        service_ptr<corvina::title_script> script;
        formatter->compile(script.receive(), title_script);
        player.playlists().item(list, i)->format_title(nullptr, title, script.get(), nullptr);
        bytes += title.length();
    }
    const double elapsed = seconds_since(start);
    if (bytes == 0) {
        std::fprintf(stderr, "No titles were formatted\n");
    }
    return elapsed;
}

struct measured {
    double plst = 0.0;
    double formatting = 0.0;
    std::size_t reply_size = 0;
};

measured measure(std::size_t count, int repeats) {
    quiet_player player;
    fill_playlist(player.host(), count);
    host_control control;
    control.set_title_format(string8(title_script));
    auto output = std::make_unique<sink_connection>();
    sink_connection& sink = *output;
    phone_link link(std::move(output), control);

    std::vector<double> plst_times;
    std::vector<double> formatting_times;
    for (int round = 0; round < repeats; ++round) {
        const auto start = clock::now();
        link.process_command(commands::playlist);
        link.replies().drain();
        plst_times.push_back(seconds_since(start));
        formatting_times.push_back(format_titles_alone(player.host(), count));
    }
    return measured{median(plst_times), median(formatting_times), sink.last_write_size()};
}

int run(int repeats, const std::vector<std::size_t>& sizes) {
    std::printf("%8s %12s %14s %16s %18s %12s\n", "entries", "PLST ms", "per entry us",
                "formatting us", "outside fmt us", "reply bytes");
    measured full;
    std::size_t largest = 0;
    for (const std::size_t count : sizes) {
        const measured m = measure(count, repeats);
        const double n = static_cast<double>(count);
        std::printf("%8zu %12.1f %14.2f %16.2f %18.2f %12zu\n", count, m.plst * 1e3,
                    m.plst / n * 1e6, m.formatting / n * 1e6, (m.plst - m.formatting) / n * 1e6,
                    m.reply_size);
        std::fflush(stdout);
        full = m;
        largest = count;
    }
    const double n = static_cast<double>(largest);
    const double outside = (full.plst - full.formatting) / n;
    std::printf(
        "PLST of %zu entries: %.1f ms, %.2f us per entry, of which %.2f us outside "
        "title formatting (%.0f%%)\n",
        largest, full.plst * 1e3, full.plst / n * 1e6, outside * 1e6,
        100.0 * (full.plst - full.formatting) / full.plst);
    print_summary("PLST " + std::to_string(largest) + " entries, per entry",
                  format_fixed(full.plst / n * 1e6, 2) + " us (" + format_fixed(outside * 1e6, 2) +
                      " us outside formatting)",
                  "no goal set", -1.0);
    return 0;
}

}  // namespace
}  // namespace tessel::bench

// bench_playlist_transfer [repeats [entries...]]; the last size is the one summarised.
int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::atoi(argv[1]) : 1;
    std::vector<std::size_t> sizes;
    for (int i = 2; i < argc; ++i) {
        const long entries = std::atol(argv[i]);
        if (entries > 0 && entries <= 65535) {
            sizes.push_back(static_cast<std::size_t>(entries));
        }
    }
    if (sizes.empty()) {
        sizes = {1024, 4096, 16384, 65535};
    }
    return tessel::bench::run(repeats > 0 ? repeats : 1, sizes);
}
