#pragma once
// The player's main thread: a hidden main window and a loop that serves messages (on POSIX the
// headless window system's sends, on Windows a real message loop) until it is told to stop or
// its time runs out.

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "corvina/platform_types.h"

namespace standin {

class main_loop {
  public:
    // Built on the thread that will run the loop; creates the main window there.
    main_loop();
    ~main_loop();
    main_loop(const main_loop&) = delete;
    main_loop& operator=(const main_loop&) = delete;

    corvina::window_handle main_window() const;
    // Destroys the main window with the windows made as its children, while the code of their
    // procedures is still loaded; main_window() is null afterwards.
    void destroy_main_window();
    // Destroys the main window and makes a new one, as a change of the user interface does.
    void remake_main_window();
    // Windows: how many message-only windows the main thread has; none elsewhere.
    std::optional<std::size_t> message_only_windows() const;
    bool is_main_thread() const { return std::this_thread::get_id() == main_thread_; }

    // Ends run() soon; safe from any thread. The first reason given is kept.
    void request_stop(const std::string& reason);
    bool stop_requested() const { return stop_; }

    // Serves the main thread until a stop is requested or limit_seconds pass; calls tick about
    // every tick_ms. Answers the reason it stopped.
    std::string run(std::optional<double> limit_seconds, const std::function<void()>& tick,
                    unsigned tick_ms = 100);

  private:
    // The platform's half (main_loop_posix.cpp / main_loop_win32.cpp).
    struct platform;
    // Serves messages for up to timeout_ms, returning early after a wake.
    void serve(unsigned timeout_ms);
    void wake();

    std::thread::id main_thread_;
    std::unique_ptr<platform> platform_;
    std::atomic<bool> stop_{false};
    std::mutex reason_mutex_;
    std::string reason_;
};

}  // namespace standin
