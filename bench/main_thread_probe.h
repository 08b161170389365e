#pragma once
// How long the player's main thread is kept from its messages: another thread sends it a
// message every 2 ms and keeps the longest wait for the answer. The main thread must serve its
// sent messages meanwhile.

#include <atomic>
#include <thread>

#include "corvina/platform_types.h"

namespace tessel::bench {

class main_thread_probe {
  public:
    // Starts sending; call on the main thread.
    main_thread_probe();
    main_thread_probe(const main_thread_probe&) = delete;
    main_thread_probe& operator=(const main_thread_probe&) = delete;
    ~main_thread_probe();

    // Stops sending; answers the longest wait in milliseconds. Call on the main thread.
    double finish();

  private:
    corvina::window_handle window_ = nullptr;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::atomic<double> longest_ms_{0.0};
    std::thread sender_;
};

}  // namespace tessel::bench
