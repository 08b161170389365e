#include "bench/served_link.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "corvina/posix_windows.h"
#include "host/link_lifecycle.h"
#include "host/link_manager.h"
#include "host/settings.h"

namespace tessel::bench {

bool start_served_link(const std::string& port, const std::string& music_folders) {
    cfg_com_port.set(port.c_str());
    cfg_music_directory.set(music_folders.c_str());
    cfg_auto_connect = 1;
    cfg_use_specific_playlist = 0;
    start_link_manager();
    if (link_manager_instance == nullptr || !await_connection()) {
        std::fprintf(stderr, "The link did not come up on %s\n", port.c_str());
        stop_link_manager();
        return false;
    }
    return true;
}

bool await_connection() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (link_manager_instance->is_active() && !link_manager_instance->is_connected() &&
           std::chrono::steady_clock::now() < deadline) {
        corvina::posix_windows::pump_wait(5);
    }
    return link_manager_instance->is_connected();
}

bool reactivate_link() {
    link_manager_instance->activate(true);
    if (!await_connection()) {
        std::fprintf(stderr, "The link did not come up again\n");
        stop_link_manager();
        return false;
    }
    return true;
}

void serve_for(std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
        corvina::posix_windows::pump_wait(5);
    }
}

deactivation_times time_deactivation(const test::thread_census& threads) {
    using ms = std::chrono::duration<double, std::milli>;
    const auto start = std::chrono::steady_clock::now();
    link_manager_instance->activate(false);
    deactivation_times times;
    times.returned_ms = ms(std::chrono::steady_clock::now() - start).count();
    while (threads.started() > 0 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    times.no_link_thread_ms = ms(std::chrono::steady_clock::now() - start).count();
    return times;
}

void serve_link_while(const std::function<void()>& phone_side) {
    std::atomic<bool> done{false};
    const std::thread::id main_thread = std::this_thread::get_id();
    std::thread phone([&] {
        phone_side();
        done = true;
        corvina::posix_windows::wake(main_thread);
    });
    while (!done.load()) {
        corvina::posix_windows::pump_wait(20);
    }
    phone.join();
    stop_link_manager();
}

}  // namespace tessel::bench
