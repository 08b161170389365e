#pragma once
// The real identity of a folder, the same whichever link or path reaches it: device and inode
// on POSIX, volume serial number and file index on Windows.

#include <compare>
#include <cstdint>
#include <optional>

#include "support/string8.h"

namespace tessel {

struct folder_identity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;

    auto operator<=>(const folder_identity&) const = default;
};

// Backslashes in the path separate folders on every platform; a trailing one is allowed.
// None when the folder cannot be reached.
std::optional<folder_identity> identify_folder(const string8& path);

}  // namespace tessel
