#include "control/value_conversions.h"

#include <cmath>
#include <limits>

namespace tessel {

float level_to_decibels(std::uint8_t level) {
    if (level == 255) {
        return 0.0f;
    }
    const double db = static_cast<double>(level) * 0.00390625 * 100.0 - 100.0;
    return static_cast<float>(db);
}

std::uint8_t decibels_to_level(float db) {
    double v = static_cast<double>(db);
    if (!(v >= -100.0)) {  // also a value that is not a number
        v = -100.0;
    } else if (v > 0.0) {
        v = 0.0;
    }
    const auto level = static_cast<int>((100.0 + v) / 100.0 * 255.0);
    return static_cast<std::uint8_t>(level & 0xFF);
}

int whole_seconds(double seconds) {
    if (std::isnan(seconds)) {
        return 0;
    }
    const double whole = std::trunc(seconds);
    if (whole >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (whole <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(whole);
}

}  // namespace tessel
