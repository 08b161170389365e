// A phone that drops off the link and comes back: the real link over a pseudo-terminal reached
// through a fixed name, as a Bluetooth device's port is. Each round the phone goes away (its
// name first, then its end of the line), stays away for a while, and comes back under the same
// name; the figure is the time from its return to the answer to its first CHCK. The time away
// varies from round to round, so that the return falls at every point of the link's reopen
// interval.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "bench/phone_end.h"
#include "bench/served_link.h"
#include "corvina/posix_windows.h"
#include "host/link_lifecycle.h"
#include "host/link_manager.h"

namespace tessel::bench {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
namespace pw = corvina::posix_windows;

// Sends CHCK and serves until "Y" comes back; false when it does not within the limit.
bool check_answered(phone_end& phone, std::chrono::milliseconds limit) {
    if (!phone.send("CHCK")) {
        return false;
    }
    const auto give_up = clock::now() + limit;
    std::string got;
    while (got.find('Y') == std::string::npos && clock::now() < give_up) {
        pw::pump_wait(2);
        got += phone.receive_some(16, 0ms);
    }
    return got.find('Y') != std::string::npos;
}

int run(int rounds) {
    quiet_player player;
    const fs::path folder =
        fs::temp_directory_path() / ("tessel-reconnect-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path port = folder / "port";
    auto phone = std::make_unique<phone_end>();
    fs::create_symlink(phone->port_path(), port);
    if (!phone->usable() || !start_served_link(port.string(), "")) {
        fs::remove_all(folder);
        return 1;
    }

    std::vector<double> back_ms;
    for (int round = 0; round < rounds; ++round) {
        fs::remove(port);
        phone.reset();
        // Away for 1.5 s to 2.5 s: the return falls anywhere in the reopen interval.
        serve_for(std::chrono::milliseconds(1500 + 1000 * round / std::max(rounds, 1)));
        phone = std::make_unique<phone_end>();
        fs::create_symlink(phone->port_path(), port);
        const auto returned = clock::now();
        while (!link_manager_instance->is_connected() && seconds_since(returned) < 30.0) {
            pw::pump_wait(2);
        }
        if (!check_answered(*phone, 30s)) {
            std::fprintf(stderr, "Round %d: the link did not come back\n", round);
            stop_link_manager();
            fs::remove_all(folder);
            return 1;
        }
        back_ms.push_back(seconds_since(returned) * 1e3);
    }
    stop_link_manager();
    fs::remove_all(folder);

    std::printf("Phone back to first CHCK answered, n=%d: median %.1f ms, max %.1f ms\n", rounds,
                median(back_ms), quantile(back_ms, 1.0));
    const double worst = quantile(back_ms, 1.0);
    print_summary(
        "Phone back under the same name to its CHCK answered, worst of " + std::to_string(rounds),
        format_fixed(worst, 1) + " ms", "<= 2 s", worst / 2000.0);
    return 0;
}

}  // namespace
}  // namespace tessel::bench

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 10;
    return tessel::bench::run(rounds > 0 ? rounds : 10);
}
