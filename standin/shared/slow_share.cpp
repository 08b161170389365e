#include "standin/shared/slow_share.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace corvina::standin_shared {

namespace {

std::chrono::milliseconds delay_from_environment() {
    const char* text = std::getenv("CORVINA_STANDIN_SEARCH_DELAY_MS");
    if (text == nullptr) {
        return std::chrono::milliseconds(0);
    }
    char* end = nullptr;
    const long milliseconds = std::strtol(text, &end, 10);
    return std::chrono::milliseconds(end != text && milliseconds > 0 ? milliseconds : 0);
}

}  // namespace

void wait_as_a_slow_share() {
    static const std::chrono::milliseconds delay = delay_from_environment();
    if (delay.count() > 0) {
        std::this_thread::sleep_for(delay);
    }
}

}  // namespace corvina::standin_shared
