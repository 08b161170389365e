#pragma once
// Decoded replies as readable text (for a person at a terminal) and as JSON (for scripts).

#include <string>
#include <string_view>

#include "tools/phone/reply_decoder.h"

namespace tessel::phone {

// Lines ending in '\n'.
std::string format_text(const reply_value& value);

// One JSON object on one line, no trailing newline.
std::string format_json(const reply_value& value);

// A JSON string literal of UTF-8 text; invalid sequences become U+FFFD.
std::string json_string(std::string_view text);

// "playing", "paused" or "stopped".
std::string_view state_name(const status_reply& status);

// "on" or "off".
std::string_view on_off(bool value);

// "5:00" for 300, "1:02:03" for 3723; negative values as "-0:05".
std::string clock_time(std::int64_t seconds);

// "[#####-----]": width characters between the brackets, filled to fraction (0 to 1).
std::string text_bar(double fraction, std::size_t width);

}  // namespace tessel::phone
