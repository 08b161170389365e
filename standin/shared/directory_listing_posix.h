#pragma once
// One POSIX folder's entries as the wrapper library's directory search reports them. An
// entry's kind comes from the type the directory stream gives (d_type); an entry is looked up
// (fstatat) only where the stream cannot tell (DT_UNKNOWN) and for a link, which is described
// by what it names. A file's size is looked up only when asked for.

#include <dirent.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvina::posix {

inline constexpr std::uint32_t attribute_normal = 0x80;

struct directory_entry {
    std::string name;    // UTF-8: each byte that starts no character became U+FFFD
    std::string native;  // the name's own bytes where they differ from name, else empty
    std::uint32_t attributes = attribute_normal;
    std::optional<std::uint64_t> size;  // known once the entry has been looked up

    const std::string& native_name() const { return native.empty() ? name : native; }
};

// The next item of an open directory stream, null at the end: readdir, or in a test a stream
// that hides what readdir would tell.
using directory_reader = dirent* (*)(DIR*);

// Every entry of the folder, "." and ".." included; none when it cannot be opened. An entry
// that vanishes before it can be looked up is left out.
std::optional<std::vector<directory_entry>> list_directory(const std::string& folder,
                                                           directory_reader read = ::readdir);

// The one entry at path, named shown; none when nothing is there.
std::optional<directory_entry> describe_path(const std::string& path, std::string_view shown);

// The entry's size in bytes, looked up in its folder when not yet known; 0 for a folder and
// for an entry that has gone since.
std::uint64_t entry_size(const std::string& folder, const directory_entry& entry);

}  // namespace corvina::posix
