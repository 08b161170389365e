#include "bench/bench_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

#include "protocol/folder_tree.h"
#include "support/host_access.h"
#include "support/reply_buffer.h"

namespace tessel::bench {

namespace fs = std::filesystem;

double seconds_since(clock::time_point start) {
    return std::chrono::duration<double>(clock::now() - start).count();
}

double quantile(std::vector<double> samples, double q) {
    if (samples.empty()) {
        return 0.0;
    }
    std::sort(samples.begin(), samples.end());
    const double rank = std::ceil(q * static_cast<double>(samples.size()));
    const auto index = static_cast<std::size_t>(std::max(rank, 1.0)) - 1;
    return samples[std::min(index, samples.size() - 1)];
}

void print_summary(std::string_view what, std::string_view figure, std::string_view goal,
                   double ratio_to_goal) {
    const std::string ratio = ratio_to_goal < 0.0 ? "-" : format_fixed(ratio_to_goal, 2);
    const char* verdict = ratio_to_goal < 0.0 ? "-" : ratio_to_goal <= 1.0 ? "met" : "NOT MET";
    std::printf("SUMMARY|%.*s|%.*s|%.*s|%s|%s\n", static_cast<int>(what.size()), what.data(),
                static_cast<int>(figure.size()), figure.data(), static_cast<int>(goal.size()),
                goal.data(), ratio.c_str(), verdict);
    std::fflush(stdout);
}

std::string format_fixed(double value, int decimals) {
    std::ostringstream text;
    text.setf(std::ios::fixed);
    text.precision(decimals);
    text << value;
    return text.str();
}

int sink_connection::write(const void* /*bytes*/, std::size_t count) {
    last_write_ = count;
    last_write_time_ = clock::now();
    return static_cast<int>(count);
}

int sink_connection::write_buffer(const reply_buffer& buffer) {
    return write(buffer.data(), buffer.size());
}

int sink_connection::read(void* /*buffer*/, std::size_t /*count*/) {
    return 0;
}

void sink_connection::set_port_name(string8 /*name*/) {}

namespace {

standin::player_host_settings silent_settings() {
    standin::player_host_settings settings;
    settings.console = [](std::string_view) {};
    settings.random_seed = 1;
    return settings;
}

}  // namespace

quiet_player::quiet_player() : player_(silent_settings()) {
    tessel::host().api = &player_.api();
    tessel::host().services_available = true;
}

quiet_player::~quiet_player() {
    tessel::host().services_available = false;
    tessel::host().api = nullptr;
}

namespace {

constexpr std::size_t top_folders = 50;
constexpr std::size_t subfolders_each = 39;
constexpr std::size_t files_per_folder = 50;

void fill_folder(const fs::path& folder, std::size_t number) {
    for (std::size_t track = 1; track <= files_per_folder; ++track) {
        char name[96];
        std::snprintf(name, sizeof name, "%02zu - Recording %05zu take %zu.mp3", track, number,
                      track % 7);
        std::ofstream(folder / name).put('\0');
    }
}

}  // namespace

music_tree generated_music_tree() {
    const fs::path base = fs::temp_directory_path() / "tessel_bench_music_v1";
    music_tree tree{base / "music", top_folders * (1 + subfolders_each),
                    top_folders * (1 + subfolders_each) * files_per_folder};
    const fs::path complete = base / "complete";
    if (fs::exists(complete)) {
        return tree;
    }
    std::fprintf(stderr, "Generating %zu files in %zu folders below %s ...\n", tree.files,
                 tree.folders, tree.root.string().c_str());
    std::error_code ignored;
    fs::remove_all(base, ignored);
    std::size_t number = 0;
    for (std::size_t top = 0; top < top_folders; ++top) {
        const fs::path artist = tree.root / ("Artist " + std::to_string(top));
        fs::create_directories(artist);
        fill_folder(artist, number++);
        for (std::size_t sub = 0; sub < subfolders_each; ++sub) {
            const fs::path album = artist / ("Album " + std::to_string(sub) + " (Remastered)");
            fs::create_directory(album);
            fill_folder(album, number++);
        }
    }
    std::ofstream(complete) << tree.files << " files\n";
    return tree;
}

std::size_t walk_into_reply(const std::string& music_folders) {
    reply_buffer reply(65536);
    reply.append_bytes("LISTACK");
    walk_music_folders(reply, string8(music_folders.c_str()));
    reply.append_byte(0xFF);
    reply.append_byte(0x00);
    return reply.size();
}

}  // namespace tessel::bench
