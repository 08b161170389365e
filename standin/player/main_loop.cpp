#include "standin/player/main_loop.h"

#include <algorithm>
#include <chrono>

namespace standin {

void main_loop::request_stop(const std::string& reason) {
    {
        std::lock_guard lock(reason_mutex_);
        if (reason_.empty()) {
            reason_ = reason;
        }
    }
    stop_ = true;
    wake();
}

std::string main_loop::run(std::optional<double> limit_seconds, const std::function<void()>& tick,
                           unsigned tick_ms) {
    using clock = std::chrono::steady_clock;
    const auto started = clock::now();
    std::optional<clock::time_point> end;
    if (limit_seconds) {
        end = started + std::chrono::duration_cast<clock::duration>(
                            std::chrono::duration<double>(std::max(0.0, *limit_seconds)));
    }
    auto next_tick = started;
    while (!stop_) {
        const auto now = clock::now();
        if (end && now >= *end) {
            request_stop("time limit reached");
            break;
        }
        if (now >= next_tick) {
            if (tick) {
                tick();
            }
            next_tick = now + std::chrono::milliseconds(tick_ms);
        }
        const auto until = end ? std::min(next_tick, *end) : next_tick;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - clock::now());
        serve(static_cast<unsigned>(std::max<long long>(0, wait.count())));
    }
    serve(0);  // what was already sent still gets its answer
    std::lock_guard lock(reason_mutex_);
    return reason_;
}

}  // namespace standin
