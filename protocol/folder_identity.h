#pragma once
// The real identity of a folder, the same whichever link or path reaches it: device and inode
// on POSIX; on Windows volume serial number and the 128-bit file ID (the 64-bit file index
// where the file system gives no ID: it is not unique on every file system).

#include <compare>
#include <cstdint>
#include <optional>

#include "support/string8.h"

namespace tessel {

struct folder_identity {
    std::uint64_t volume = 0;
    std::uint64_t id_high = 0;
    std::uint64_t id_low = 0;

    // A file system that gives no identity answers zero.
    bool is_known() const { return id_high != 0 || id_low != 0; }

    auto operator<=>(const folder_identity&) const = default;
};

// Backslashes in the path separate folders on every platform; a trailing one is allowed.
// None when the folder cannot be reached.
std::optional<folder_identity> identify_folder(const string8& path);

// The identity the walk goes by: none when the folder cannot be reached or its identity is
// not known, so that an unknown identity equals nothing.
std::optional<folder_identity> known_folder_identity(const string8& path);

// For tests: folders are identified by the given function from now on (null: the system's).
using folder_identifier = std::optional<folder_identity> (*)(const string8& path);
void use_folder_identifier(folder_identifier identify);

}  // namespace tessel
