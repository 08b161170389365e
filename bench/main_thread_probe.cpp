#include "bench/main_thread_probe.h"

#include <algorithm>
#include <chrono>

#include "bench/bench_support.h"
#include "corvina/posix_windows.h"

namespace tessel::bench {

namespace pw = corvina::posix_windows;

main_thread_probe::main_thread_probe() {
    static const bool registered = pw::register_class("bench_probe", pw::default_procedure);
    window_ = registered ? pw::create_window("bench_probe", "probe", nullptr, nullptr) : nullptr;
    sender_ = std::thread([this] {
        while (!stop_.load()) {
            const auto sent = clock::now();
            pw::send_message(window_, 0x8001, 0, 0);
            const double waited = seconds_since(sent) * 1e3;
            longest_ms_.store(std::max(longest_ms_.load(), waited));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ended_.store(true);
    });
}

main_thread_probe::~main_thread_probe() {
    if (sender_.joinable()) {
        finish();
    }
}

double main_thread_probe::finish() {
    stop_.store(true);
    while (!ended_.load()) {
        pw::pump_wait(1);  // serves the sender's last send
    }
    sender_.join();
    pw::destroy_window(window_);
    return longest_ms_.load();
}

}  // namespace tessel::bench
