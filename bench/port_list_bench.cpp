// How long making the list of serial ports takes: the page makes it on the player's main
// thread when it opens and when its drop-down is opened. Read from the system (under Wine: its
// registry and device tree) and from a table of 64 devices, half of them Bluetooth ports.
//
//   bench_port_list [ROUNDS]   (default 200)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "transport/serial_port_list.h"

namespace {

using clock_type = std::chrono::steady_clock;

std::vector<tessel::port_device> many_devices() {
    std::vector<tessel::port_device> devices;
    for (int n = 1; n <= 64; ++n) {
        const std::string port = "COM" + std::to_string(n);
        char address[13];
        std::snprintf(address, sizeof address, "%012llX",
                      n % 2 == 0 ? 0x0C8BFD120000ULL + static_cast<unsigned>(n) : 0ULL);
        devices.push_back(
            n % 4 < 2
                ? tessel::port_device{port, "Standard Serial over Bluetooth link (" + port + ")",
                                      "BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_"
                                      "LOCALMFG&0002\\7&2B1D9C05&0&" +
                                          std::string(address) + "_C00000000"}
                : tessel::port_device{port, "USB Serial Port (" + port + ")",
                                      "FTDIBUS\\VID_0403+PID_6001+A" + std::to_string(n)});
    }
    return devices;
}

const tessel::port_sources many{
    [] { return many_devices(); },
    [] {
        std::vector<tessel::paired_device> paired;
        for (int n = 2; n <= 64; n += 2) {
            paired.push_back(
                {static_cast<std::uint64_t>(0x0C8BFD120000 + n), "Phone " + std::to_string(n)});
        }
        return paired;
    },
};

// Milliseconds of each making of the list.
std::vector<double> time_listing(int rounds, std::size_t& count) {
    std::vector<double> samples;
    for (int round = 0; round < rounds; ++round) {
        const auto start = clock_type::now();
        count = tessel::list_serial_ports().size();
        samples.push_back(
            std::chrono::duration<double, std::milli>(clock_type::now() - start).count());
    }
    std::sort(samples.begin(), samples.end());
    return samples;
}

void report(const char* what, int rounds) {
    std::size_t count = 0;
    const std::vector<double> samples = time_listing(rounds, count);
    const double median = samples[samples.size() / 2];
    const double worst = samples.back();
    std::printf("%s: %zu ports, median %.3f ms, slowest %.3f ms of %d\n", what, count, median,
                worst, rounds);
    // Goal: the main thread is never held 50 ms.
    std::printf("SUMMARY|port list, %s (slowest of %d)|%.2f ms|< 50 ms|%.2f|%s\n", what, rounds,
                worst, worst / 50.0, worst < 50.0 ? "met" : "NOT MET");
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    report("this system", rounds);
    tessel::use_port_sources(&many);
    report("64 devices", rounds);
    tessel::use_port_sources(nullptr);
    return 0;
}
