// Round trips through the real link: a phone end on a pseudo-terminal, the link manager's
// reader thread and hand-off window, and this program's main thread pumping as the player's
// does. CHCK is timed to its "Y"; INFO to its whole reply, less the 300 ms the reader waits
// before handing INFO on.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "bench/phone_end.h"
#include "bench/served_link.h"
#include "control/host_control.h"
#include "host/settings.h"
#include "standin/player/track_object.h"

namespace tessel::bench {
namespace {

using namespace std::chrono_literals;

struct series {
    std::vector<double> milliseconds;
    bool complete = true;
};

// Sends the code count times and times each reply; rests between requests longer than the
// reader's own rest after each hand-off, so that no request waits for the one before.
series time_requests(phone_end& phone, const char* code, std::size_t reply_size, int count,
                     double subtract_ms) {
    series result;
    for (int i = 0; i < count; ++i) {
        const auto start = clock::now();
        if (!phone.send(code) || !phone.receive(reply_size, 3s)) {
            std::fprintf(stderr, "%s: no whole reply within 3 s\n", code);
            result.complete = false;
            return result;
        }
        result.milliseconds.push_back(seconds_since(start) * 1e3 - subtract_ms);
        std::this_thread::sleep_for(130ms);
    }
    return result;
}

void report(const char* what, const series& times) {
    std::printf("%-22s n=%-4zu min %7.3f  p50 %7.3f  p90 %7.3f  p99 %7.3f  max %7.3f ms\n", what,
                times.milliseconds.size(), quantile(times.milliseconds, 0.0),
                quantile(times.milliseconds, 0.5), quantile(times.milliseconds, 0.9),
                quantile(times.milliseconds, 0.99), quantile(times.milliseconds, 1.0));
}

int run(int checks, int infos) {
    phone_end phone;
    if (!phone.usable()) {
        std::fprintf(stderr, "No pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    quiet_player player;
    // One track playing, so that INFO carries a real title.
    standin::track_metadata tags;
    tags.tags["artist"] = "Round Trip";
    tags.tags["title"] = "Measured";
    tags.length = 300.0;
    const std::size_t list = player.host().playlists().create_playlist("Default");
    player.host().playlists().insert(
        list, standin::no_index,
        {standin::make_counted<standin::track_object>("C:\\Music\\timed.mp3", tags)}, {false});
    player.host().playlists().set_active(list);
    player.host().playback().play_item(list, 0);

    if (!start_served_link(phone.port_path(), "")) {
        return 1;
    }
    // The title INFO will carry, formatted as the link formats it.
    host_control control;
    control.set_title_format(cfg_title_format.get());
    string8 title;
    control.get_playing_title(title);
    const std::size_t info_size = 18 + title.length();

    series check_times;
    series info_times;
    serve_link_while([&] {
        check_times = time_requests(phone, "CHCK", 1, checks, 0.0);
        if (check_times.complete) {
            info_times = time_requests(phone, "INFO", info_size, infos, 300.0);
        }
    });
    if (!check_times.complete || !info_times.complete) {
        return 1;
    }

    report("CHCK to \"Y\"", check_times);
    report("INFO, less 300 ms", info_times);
    const double check_median = median(check_times.milliseconds);
    const double info_median = median(info_times.milliseconds);
    print_summary("Round trip CHCK, median",
                  format_fixed(check_median, 3) + " ms (p99 " +
                      format_fixed(quantile(check_times.milliseconds, 0.99), 3) + " ms)",
                  "< 5 ms", check_median / 5.0);
    print_summary("Round trip INFO less 300 ms, median",
                  format_fixed(info_median, 3) + " ms (p99 " +
                      format_fixed(quantile(info_times.milliseconds, 0.99), 3) + " ms)",
                  "< 5 ms", info_median / 5.0);
    return 0;
}

}  // namespace
}  // namespace tessel::bench

int main(int argc, char** argv) {
    const int checks = argc > 1 ? std::atoi(argv[1]) : 100;
    const int infos = argc > 2 ? std::atoi(argv[2]) : 50;
    return tessel::bench::run(checks > 0 ? checks : 100, infos > 0 ? infos : 50);
}
