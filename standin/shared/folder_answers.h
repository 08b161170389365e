#pragma once
// The queue of answers that stand in for the user of the folder browser.

#include <optional>
#include <string>

namespace corvina::dialogs {

// The next queued answer: nullopt when none is queued; an empty inner value for "cancelled".
std::optional<std::optional<std::string>> take_folder_answer();

}  // namespace corvina::dialogs
