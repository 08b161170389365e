#pragma once
// Console logging: one line per call through every console service of the player, and nothing
// while the player has not declared its services available. Safe from any thread.

#include <string_view>

namespace tessel {

// Writes the text as one line.
void log_info(std::string_view text);
// Writes the two texts joined as one line.
void log_info(std::string_view head, std::string_view tail);

// Writes "ERROR : " followed by the text as one line.
void log_error(std::string_view text);

// Debug trace: receives the texts a tracing build would show and writes nothing.
inline void trace(std::string_view /*text*/) {}

}  // namespace tessel
