// The player's main thread against the wire, through the real link over a pseudo-terminal:
//
// - while a LIST of the generated tree (100,000 files) goes to a phone that reads about
//   100 KB a second and polls INFO meanwhile, another thread sends the main thread a message
//   every few milliseconds: the longest wait for its answer is how long the main thread was
//   kept from its messages;
// - with a phone that stopped reading in the middle of that listing, the time from the
//   deactivation's start to the moment no thread of the link is left.

#include <algorithm>
#include <atomic>
#include <chrono>
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

// A phone reading about 100 KB a second and polling INFO twice a second, until the listing's
// end mark has come. Answers the listing's bytes, 0 when it did not come whole.
std::size_t read_listing_slowly(phone_end& phone) {
    std::string received;
    const auto give_up = clock::now() + 300s;
    auto next_poll = clock::now() + 500ms;
    std::size_t listing_end = std::string::npos;
    while (listing_end == std::string::npos && clock::now() < give_up) {
        received += phone.receive_some(1000, 10ms);
        std::this_thread::sleep_for(10ms);
        if (clock::now() >= next_poll) {
            phone.send("INFO");
            next_poll += 500ms;
        }
        const std::size_t start = received.find("LISTACK");
        if (start != std::string::npos) {
            const std::size_t end = received.find(std::string("\xFF\x00", 2), start);
            listing_end = end == std::string::npos ? end : end + 2 - start;
        }
    }
    return listing_end == std::string::npos ? 0 : listing_end;
}

int run(int stalls) {
    const music_tree tree = generated_music_tree();
    phone_end phone;
    if (!phone.usable()) {
        std::fprintf(stderr, "No pseudo-terminal\n");
        return 1;
    }
    quiet_player player;
    std::thread([] {}).join();
    const thread_census threads;
    if (!start_served_link(phone.port_path(), tree.root.string())) {
        return 1;
    }

    // A slow phone and a large listing.
    std::atomic<std::size_t> listed{0};
    std::atomic<bool> phone_done{false};
    const std::thread::id main_thread = std::this_thread::get_id();
    main_thread_probe probe;
    const auto list_start = clock::now();
    std::thread slow_phone([&] {
        phone.send("LIST");
        listed = read_listing_slowly(phone);
        phone_done = true;
        pw::wake(main_thread);
    });
    while (!phone_done.load()) {
        pw::pump_wait(20);
    }
    const double list_seconds = seconds_since(list_start);
    slow_phone.join();
    const double longest_ms = probe.finish();
    if (listed == 0) {
        std::fprintf(stderr, "The listing did not come whole\n");
        stop_link_manager();
        return 1;
    }
    std::printf(
        "LIST of %zu files: %zu bytes in %.1f s (%.0f KB/s); main thread's longest "
        "wait for a message %.3f ms\n",
        tree.files, listed.load(), list_seconds,
        static_cast<double>(listed.load()) / list_seconds / 1000.0, longest_ms);

    // A phone that stops reading in the middle of the listing.
    std::vector<double> stall_ms;
    std::vector<double> returned_ms;
    for (int round = 0; round < stalls; ++round) {
        if (!reactivate_link()) {
            return 1;
        }
        while (!phone.receive_some(1 << 16, 50ms).empty()) {
        }
        phone.send("LISTCHCK");
        // The phone reads the listing's first bytes, then stops reading: the walk is done and
        // the writer waits for the phone in the middle of the listing.
        std::string first;
        const auto give_up = clock::now() + 60s;
        while (first.find("LISTACK") == std::string::npos && clock::now() < give_up) {
            pw::pump_wait(5);
            first += phone.receive_some(16, 0ms);
        }
        serve_for(300ms);
        const deactivation_times times = time_deactivation(threads);
        returned_ms.push_back(times.returned_ms);
        stall_ms.push_back(times.no_link_thread_ms);
    }
    stop_link_manager();
    while (!phone.receive_some(1 << 16, 50ms).empty()) {
    }
    std::printf(
        "Deactivation with a stalled phone, n=%d: returns after median %.3f ms (max %.3f "
        "ms); no link thread after median %.3f ms (max %.3f ms)\n",
        stalls, median(returned_ms), quantile(returned_ms, 1.0), median(stall_ms),
        quantile(stall_ms, 1.0));

    print_summary(
        "Main thread's longest wait during a LIST of 100,000 files to a phone "
        "reading ~100 KB/s",
        format_fixed(longest_ms, 3) + " ms", "<= 10 ms", longest_ms / 10.0);
    const double worst = quantile(stall_ms, 1.0);
    print_summary("Deactivation to no link thread, phone stalled mid-LIST, worst of " +
                      std::to_string(stalls),
                  format_fixed(worst, 3) + " ms", "<= 1 s", worst / 1000.0);
    return 0;
}

}  // namespace
}  // namespace tessel::bench

int main(int argc, char** argv) {
    const int stalls = argc > 1 ? std::atoi(argv[1]) : 10;
    return tessel::bench::run(stalls > 0 ? stalls : 10);
}
