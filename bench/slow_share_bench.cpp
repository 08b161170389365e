// A music library on a slow network share: every folder's listing waits 50 ms, through the
// stand-in's wrapper library. Measured through the real link over a pseudo-terminal:
//
// - the main thread's longest wait for a message while the phone asks for two LISTs in a row
//   (the second waits for the first walk) and checks the link meanwhile;
// - the time from the start of a deactivation in the middle of such a walk to the moment no
//   thread of the link is left (the walk is let go in its directory call and ends when the
//   call returns).

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "bench/main_thread_probe.h"
#include "bench/phone_end.h"
#include "bench/served_link.h"
#include "corvina/posix_windows.h"
#include "host/link_lifecycle.h"
#include "host/link_manager.h"
#include "tests/common/thread_count.h"

namespace tessel::bench {
namespace {

using namespace std::chrono_literals;
namespace pw = corvina::posix_windows;
using test::thread_census;

constexpr int folder_delay_ms = 50;

int run(int rounds) {
    // Read once by the wrapper library, at its first search.
    setenv("CORVINA_STANDIN_SEARCH_DELAY_MS", std::to_string(folder_delay_ms).c_str(), 1);
    const music_tree tree = generated_music_tree();
    const std::string one_artist = (tree.root / "Artist 0").string();  // 40 folders: 2 s a walk
    phone_end phone;
    if (!phone.usable()) {
        std::fprintf(stderr, "No pseudo-terminal\n");
        return 1;
    }
    quiet_player player;
    std::thread([] {}).join();
    const thread_census threads;
    if (!start_served_link(phone.port_path(), one_artist)) {
        return 1;
    }

    // Two LISTs in a row and checks while they walk.
    std::size_t listings = 0;
    double longest_ms = 0;
    {
        main_thread_probe probe;
        const auto start = clock::now();
        phone.send("LISTLISTCHCK");
        std::string received;
        while (listings < 2 && seconds_since(start) < 60.0) {
            pw::pump_wait(5);
            received += phone.receive_some(1 << 16, 0ms);
            listings = 0;
            for (std::size_t at = received.find("LISTACK"); at != std::string::npos;
                 at = received.find("LISTACK", at + 1)) {
                listings += received.find(std::string("\xFF\x00", 2), at) != std::string::npos;
            }
        }
        longest_ms = probe.finish();
        std::printf(
            "Two LISTs of %s (40 folders, %d ms a folder) in %.1f s; main thread's "
            "longest wait for a message %.3f ms\n",
            one_artist.c_str(), folder_delay_ms, seconds_since(start), longest_ms);
    }
    if (listings < 2) {
        std::fprintf(stderr, "The listings did not come whole\n");
        stop_link_manager();
        return 1;
    }

    // Deactivation in the middle of a walk.
    std::vector<double> returned_ms;
    std::vector<double> ended_ms;
    for (int round = 0; round < rounds; ++round) {
        if (!link_manager_instance->is_active() && !reactivate_link()) {
            return 1;
        }
        phone.send("LIST");
        serve_for(std::chrono::milliseconds(300 + 37 * round));  // somewhere in the walk
        const deactivation_times times = time_deactivation(threads);
        returned_ms.push_back(times.returned_ms);
        ended_ms.push_back(times.no_link_thread_ms);
    }
    stop_link_manager();
    std::printf(
        "Deactivation in the middle of a walk, n=%d: returns after median %.3f ms (max "
        "%.3f ms); no link thread after median %.3f ms (max %.3f ms)\n",
        rounds, median(returned_ms), quantile(returned_ms, 1.0), median(ended_ms),
        quantile(ended_ms, 1.0));

    print_summary("Main thread's longest wait during two LISTs of a share taking 50 ms a folder",
                  format_fixed(longest_ms, 3) + " ms", "<= 10 ms", longest_ms / 10.0);
    const double worst = quantile(ended_ms, 1.0);
    print_summary(
        "Deactivation mid-walk of that share to no link thread, worst of " + std::to_string(rounds),
        format_fixed(worst, 3) + " ms", "<= 100 ms", worst / 100.0);
    return 0;
}

}  // namespace
}  // namespace tessel::bench

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 10;
    return tessel::bench::run(rounds > 0 ? rounds : 10);
}
