#pragma once
// What every benchmark program shares: a clock, order statistics over samples, the summary
// line scripts/bench.sh collects, a connection that swallows replies, a quiet stand-in player
// installed as the component's host, and the generated music tree.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "standin/player/player_host.h"
#include "transport/connection.h"

namespace tessel::bench {

using clock = std::chrono::steady_clock;

double seconds_since(clock::time_point start);

// The q-quantile (0 to 1) of the samples, nearest rank; 0 for no samples.
double quantile(std::vector<double> samples, double q);
inline double median(std::vector<double> samples) {
    return quantile(std::move(samples), 0.5);
}

// One line for the summary table: "SUMMARY|what|figure|goal|ratio to goal|verdict". A ratio
// of at most 1 meets the goal; a negative one means there is no goal to meet.
void print_summary(std::string_view what, std::string_view figure, std::string_view goal,
                   double ratio_to_goal);

std::string format_fixed(double value, int decimals);

// A connection to nowhere: keeps the size and the time of the last write.
class sink_connection final : public connection {
  public:
    bool open() override { return true; }
    void close() override {}
    int write(const void* bytes, std::size_t count) override;
    int write_buffer(const reply_buffer& buffer) override;
    int read(void* buffer, std::size_t count) override;
    void set_port_name(string8 name) override;

    std::size_t last_write_size() const { return last_write_; }
    clock::time_point last_write_time() const { return last_write_time_; }

  private:
    std::size_t last_write_ = 0;
    clock::time_point last_write_time_{};
};

// A stand-in player that prints nothing, recorded as the component's host with its services
// available for as long as it lives. Its main thread is the one that built it.
class quiet_player {
  public:
    quiet_player();
    quiet_player(const quiet_player&) = delete;
    quiet_player& operator=(const quiet_player&) = delete;
    ~quiet_player();

    standin::player_host& host() { return player_; }

  private:
    standin::player_host player_;
};

// The shape of the generated tree: 50 folders of 39 subfolders each (2,000 folders), 50 files
// in every folder (100,000 files).
struct music_tree {
    std::filesystem::path root;
    std::size_t folders = 0;
    std::size_t files = 0;
};

// Made once below the temporary folder and reused by later runs.
music_tree generated_music_tree();

// Walks the music folders into a LISTACK reply of its own, as LIST does without the link;
// answers the reply's size.
std::size_t walk_into_reply(const std::string& music_folders);

}  // namespace tessel::bench
