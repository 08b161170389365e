// Peak heap of one LIST of the generated 100,000-file tree, against the size of its reply.
// The heap is counted by heap_counter.cpp (every malloc-family block, all threads, by usable
// size); the worker thread's stack is not heap and is not counted.

#include <algorithm>
#include <cstdio>
#include <memory>

#include "bench/bench_support.h"
#include "bench/heap_counter.h"
#include "control/host_control.h"
#include "protocol/command_code.h"
#include "protocol/phone_link.h"
#include "support/reply_buffer.h"

namespace tessel::bench {
namespace {

double mebibytes(std::size_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

int run() {
    const music_tree tree = generated_music_tree();
    const string8 root(tree.root.string().c_str());
    quiet_player player;
    host_control control;
    auto output = std::make_unique<sink_connection>();
    sink_connection& sink = *output;
    phone_link link(std::move(output), control);
    link.set_music_folders(root);
    // One LIST first, so that what the first use of anything keeps is not charged to the one
    // measured.
    link.process_command(commands::list);
    link.join_list_worker(false);
    link.replies().drain();

    const std::size_t before = heap_in_use();
    reset_heap_peak();
    link.process_command(commands::list);
    link.join_list_worker(false);
    link.replies().drain();
    const std::size_t list_peak = heap_peak() - before;
    const std::size_t reply = sink.last_write_size();
    const std::size_t left = heap_in_use() - before;

    const double ratio = static_cast<double>(list_peak) / static_cast<double>(reply);
    const double entries = static_cast<double>(tree.files + tree.folders);
    std::printf("LISTACK reply: %zu bytes (%.2f MiB), %.1f bytes per entry\n", reply,
                mebibytes(reply), static_cast<double>(reply) / entries);
    std::printf("Heap high-water mark of the LIST: %zu bytes (%.2f MiB), %.2f times the reply\n",
                list_peak, mebibytes(list_peak), ratio);
    std::printf(
        "  beyond the reply: %.1f KiB (the reply's growth step, the listings of the\n"
        "  folders on the way down, the thread)\n",
        static_cast<double>(list_peak - std::min(list_peak, reply)) / 1024.0);
    std::printf("  heap left behind by the LIST: %zu bytes\n", left);
    print_summary("LIST 100,000 files, peak heap / reply",
                  format_fixed(ratio, 2) + "x (" + format_fixed(mebibytes(list_peak), 1) +
                      " MiB for " + format_fixed(mebibytes(reply), 1) + " MiB)",
                  "<= 1.5x", ratio / 1.5);
    return 0;
}

}  // namespace
}  // namespace tessel::bench

int main() {
    return tessel::bench::run();
}
