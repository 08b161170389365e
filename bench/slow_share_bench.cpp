// A music library on a slow network share: every folder's listing waits 50 ms, through the
// stand-in's wrapper library. Measured through the real link over a pseudo-terminal:
//
// - the main thread's longest wait for a message while the phone asks for two LISTs in a row
//   (the second waits for the first walk) and checks the link meanwhile;
// - the threads of the link and the heap it takes while the phone asks for 100 LISTs as fast
//   as the reader hands them over: one walk runs, one waits and answers every LIST that came
//   meanwhile, so neither grows with the number of LISTs;
// - the time from the start of a deactivation in the middle of such a walk to the moment no
//   thread of the link is left (the walk is let go in its directory call and ends when the
//   call returns).

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "bench/heap_counter.h"
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

std::size_t count_listings(const std::string& received) {
    std::size_t listings = 0;
    for (std::size_t at = received.find("LISTACK"); at != std::string::npos;
         at = received.find("LISTACK", at + 1)) {
        listings += received.find(std::string("\xFF\x00", 2), at) != std::string::npos;
    }
    return listings;
}

// The process's mapped memory (thread stacks included), from /proc.
double mapped_kib() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    unsigned long pages = 0;
    if (statm != nullptr) {
        if (std::fscanf(statm, "%lu", &pages) != 1) {
            pages = 0;
        }
        std::fclose(statm);
    }
    return static_cast<double>(pages) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1024.0;
}

struct many_lists_figures {
    std::size_t listings = 0;
    std::size_t most_walk_threads = 0;
    double peak_heap_kib = 0;
    double peak_mapped_kib = 0;  // over what was mapped before
    double listing_kib = 0;
    double seconds = 0;
};

// The phone asks for count LISTs in one go; the reader and the writer are the link's other
// threads.
many_lists_figures ask_many_lists(phone_end& phone, const thread_census& threads, int count) {
    many_lists_figures figures;
    const std::size_t link_threads = threads.started();
    reset_heap_peak();
    const std::size_t heap_before = heap_in_use();
    const double mapped_before = mapped_kib();
    std::string asked;
    for (int list = 0; list < count; ++list) {
        asked += "LIST";
    }
    const auto start = clock::now();
    phone.send(asked);
    // Only the listings' ends are counted: the bytes are not kept, so that the heap measured is
    // the link's. A listing ends with FF 00, which no record holds.
    const std::string end_mark("\xFF\x00", 2);
    std::string tail;
    std::size_t received_bytes = 0;
    std::size_t most_threads = 0;
    while (figures.listings < static_cast<std::size_t>(count) && seconds_since(start) < 300.0) {
        pw::pump_wait(5);
        most_threads = std::max(most_threads, threads.started());
        figures.peak_mapped_kib = std::max(figures.peak_mapped_kib, mapped_kib() - mapped_before);
        const std::string chunk = phone.receive_some(1 << 16, 0ms);
        received_bytes += chunk.size();
        tail.append(chunk);
        for (std::size_t at = tail.find(end_mark); at != std::string::npos;
             at = tail.find(end_mark, at + end_mark.size())) {
            ++figures.listings;
        }
        const bool mark_cut = !tail.empty() && tail.back() == '\xFF';
        tail.clear();
        if (mark_cut) {
            tail.push_back('\xFF');
        }
    }
    figures.seconds = seconds_since(start);
    figures.most_walk_threads = most_threads - link_threads;
    figures.peak_heap_kib = static_cast<double>(heap_peak() - heap_before) / 1024.0;
    figures.listing_kib = static_cast<double>(received_bytes) / 1024.0 /
                          static_cast<double>(std::max<std::size_t>(figures.listings, 1));
    return figures;
}

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
            listings = count_listings(received);
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

    const many_lists_figures one = ask_many_lists(phone, threads, 1);
    const many_lists_figures many = ask_many_lists(phone, threads, 100);
    for (const many_lists_figures* figures : {&one, &many}) {
        std::printf(
            "%zu LIST(s) in one go: %zu listings in %.1f s; at most %zu walk threads; peak heap "
            "%.1f KiB and mapped memory %.1f KiB over the link's; one listing %.1f KiB\n",
            figures == &one ? std::size_t{1} : std::size_t{100}, figures->listings,
            figures->seconds, figures->most_walk_threads, figures->peak_heap_kib,
            figures->peak_mapped_kib, figures->listing_kib);
    }
    if (one.listings < 1 || many.listings < 100) {
        std::fprintf(stderr, "The listings did not all come\n");
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
    print_summary("Walk threads during 100 LISTs of that share",
                  std::to_string(many.most_walk_threads), "<= 2",
                  static_cast<double>(many.most_walk_threads) / 2.0);
    const double heap_ratio = many.peak_heap_kib / one.peak_heap_kib;
    print_summary("Peak heap during 100 LISTs of that share / during one LIST",
                  format_fixed(heap_ratio, 2) + "x", "<= 2.5x (one walking, one written)",
                  heap_ratio / 2.5);
    // A walk thread maps a stack of 8 MiB (the system's default).
    const double mapped_mib = many.peak_mapped_kib / 1024.0;
    print_summary("Mapped memory grown during 100 LISTs of that share (thread stacks included)",
                  format_fixed(mapped_mib, 1) + " MiB", "<= 16 MiB (two walk stacks)",
                  mapped_mib / 16.0);
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
