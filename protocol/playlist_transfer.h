#pragma once
// Titles for the phone's playlist view travel as 7-bit ASCII.

#include <string>

#include "support/string8.h"

namespace tessel {

// Every character outside ASCII, and every byte that is not valid UTF-8, becomes one '?'.
// ASCII characters, the line feed included, pass unchanged.
std::string to_ascii_title(const string8& title);

}  // namespace tessel
