#pragma once
// Conversions between the player's values and the ones the command engine works with.

#include <cstdint>

namespace tessel {

// Volume level 0..255 to the player's decibels: 255 is exactly 0 dB, any other level
// level/256 * 100 - 100 (so 0 is -100 dB).
float level_to_decibels(std::uint8_t level);

// The player's decibels to a volume level: (100 + db) / 100 * 255, truncated. Values outside
// the player's -100..0 range count as its nearest end, so a stray reading never wraps round.
std::uint8_t decibels_to_level(float db);

// Seconds as whole seconds, the fraction cut off towards zero; values beyond int saturate and
// a value that is not a number is 0.
int whole_seconds(double seconds);

}  // namespace tessel
