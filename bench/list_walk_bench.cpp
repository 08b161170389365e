// LIST over a generated tree of 100,000 files in 2,000 folders, against a bare recursive scan
// of the same tree in the same run. Scans and LISTs alternate so that both see the same cache.
// The LIST is timed from the command to the write of its reply (the walk, which writes the
// records as it goes: what the phone waits for), and again to the end of the worker.

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "control/host_control.h"
#include "protocol/command_code.h"
#include "protocol/phone_link.h"

namespace tessel::bench {
namespace {

namespace fs = std::filesystem;

struct scan_count {
    std::size_t entries = 0;
    std::size_t name_bytes = 0;
};

// opendir/readdir, folders told apart by the entry type the directory gives.
void scan_with_readdir(const std::string& path, scan_count& count) {
    DIR* folder = opendir(path.c_str());
    if (folder == nullptr) {
        return;
    }
    std::vector<std::string> subfolders;
    while (const dirent* entry = readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        ++count.entries;
        count.name_bytes += name.size();
        if (entry->d_type == DT_DIR) {
            subfolders.push_back(path + "/" + entry->d_name);
        }
    }
    closedir(folder);
    for (const std::string& subfolder : subfolders) {
        scan_with_readdir(subfolder, count);
    }
}

// The same, with each entry's size and kind read by fstatat, as a search that reports them
// for every entry must on POSIX.
void scan_with_stat(const std::string& path, scan_count& count) {
    DIR* folder = opendir(path.c_str());
    if (folder == nullptr) {
        return;
    }
    std::vector<std::string> subfolders;
    while (const dirent* entry = readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        struct stat info {};
        if (fstatat(dirfd(folder), entry->d_name, &info, 0) != 0) {
            continue;
        }
        ++count.entries;
        count.name_bytes += name.size();
        if (S_ISDIR(info.st_mode)) {
            subfolders.push_back(path + "/" + entry->d_name);
        }
    }
    closedir(folder);
    for (const std::string& subfolder : subfolders) {
        scan_with_stat(subfolder, count);
    }
}

scan_count scan_with_iterator(const fs::path& root) {
    scan_count count;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        ++count.entries;
        count.name_bytes += entry.path().filename().native().size();
        (void)entry.is_directory();
    }
    return count;
}

int run(int repeats) {
    const music_tree tree = generated_music_tree();
    const std::string root = tree.root.string();
    quiet_player player;
    host_control control;
    auto output = std::make_unique<sink_connection>();
    sink_connection& sink = *output;
    phone_link link(std::move(output), control);
    link.set_music_folders(string8(root.c_str()));

    std::vector<double> readdir_times;
    std::vector<double> iterator_times;
    std::vector<double> stat_times;
    std::vector<double> reply_times;
    std::vector<double> list_times;
    std::vector<double> walk_times;
    scan_count scanned;
    std::size_t reply_size = 0;
    // The first round warms the cache and is not counted.
    for (int round = 0; round <= repeats; ++round) {
        auto start = clock::now();
        scan_count count;
        scan_with_readdir(root, count);
        const double readdir_time = seconds_since(start);

        start = clock::now();
        const scan_count iterated = scan_with_iterator(tree.root);
        const double iterator_time = seconds_since(start);

        start = clock::now();
        scan_count stated;
        scan_with_stat(root, stated);
        const double stat_time = seconds_since(start);

        start = clock::now();
        link.process_command(commands::list);
        link.join_list_worker(false);
        link.replies().drain();
        link.replies().drain();
        const double list_time = seconds_since(start);
        const double reply_time =
            std::chrono::duration<double>(sink.last_write_time() - start).count();

        // The walk alone, on this thread, into a reply of its own.
        start = clock::now();
        reply_size = walk_into_reply(root);
        const double walk_time = seconds_since(start);

        if (count.entries != iterated.entries || count.entries != stated.entries ||
            count.entries != tree.files + tree.folders || sink.last_write_size() != reply_size) {
            std::fprintf(stderr,
                         "Mismatch: readdir saw %zu entries, the iterator %zu, expected %zu; "
                         "LIST wrote %zu bytes, the walk alone %zu\n",
                         count.entries, iterated.entries, tree.files + tree.folders,
                         sink.last_write_size(), reply_size);
            return 1;
        }
        scanned = count;
        if (round == 0) {
            continue;
        }
        readdir_times.push_back(readdir_time);
        iterator_times.push_back(iterator_time);
        stat_times.push_back(stat_time);
        list_times.push_back(list_time);
        reply_times.push_back(reply_time);
        walk_times.push_back(walk_time);
    }

    const double scan = median(readdir_times);
    const double list = median(reply_times);
    std::printf("Tree: %zu files, %zu folders, %zu name bytes; LISTACK reply %zu bytes\n",
                tree.files, tree.folders, scanned.name_bytes, reply_size);
    std::printf("Medians of %d rounds (ms):\n", repeats);
    std::printf("  bare scan, opendir/readdir              %9.2f\n", scan * 1e3);
    std::printf("  bare scan, recursive_directory_iterator %9.2f\n", median(iterator_times) * 1e3);
    std::printf("  scan, opendir/readdir + fstatat        %9.2f\n", median(stat_times) * 1e3);
    std::printf("  LIST until its reply is written         %9.2f\n", list * 1e3);
    std::printf("  LIST until its worker has ended         %9.2f\n", median(list_times) * 1e3);
    std::printf("  walk_music_folders into a reply alone   %9.2f\n", median(walk_times) * 1e3);
    const double ratio = list / scan;
    std::printf("LIST / bare readdir scan = %.2f (goal at most 1.5)\n", ratio);
    std::printf("LIST / recursive_directory_iterator = %.2f\n", list / median(iterator_times));
    const double stat_ratio = list / median(stat_times);
    std::printf("LIST / readdir + fstatat scan = %.2f\n", stat_ratio);
    print_summary("LIST 100,000 files / bare scan", format_fixed(ratio, 2) + "x", "<= 1.5x",
                  ratio / 1.5);
    print_summary("LIST 100,000 files / readdir + fstatat scan", format_fixed(stat_ratio, 2) + "x",
                  "-", -1.0);
    return 0;
}

}  // namespace
}  // namespace tessel::bench

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::atoi(argv[1]) : 7;
    return tessel::bench::run(repeats > 0 ? repeats : 7);
}
