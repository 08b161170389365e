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
    std::uint32_t attributes = attribute_normal;
    std::optional<std::uint64_t> size;  // known once the entry has been looked up
    std::size_t name_at = 0;            // in the listing's names
    std::size_t native_at = 0;          // the same as name_at where the name is UTF-8 already
};

// The entries, their names packed one after the other, each ended by a zero byte: a folder
// of many entries costs two blocks, not one per name.
class directory_listing {
  public:
    // Adds an entry named by its own bytes, shown as UTF-8 (each byte that starts no
    // character becomes U+FFFD).
    directory_entry& add(std::string_view native);

    const char* name(const directory_entry& entry) const { return names_.c_str() + entry.name_at; }
    const char* native_name(const directory_entry& entry) const {
        return names_.c_str() + entry.native_at;
    }

    std::vector<directory_entry>& entries() { return entries_; }
    const std::vector<directory_entry>& entries() const { return entries_; }

  private:
    std::string names_;
    std::vector<directory_entry> entries_;
};

// The next item of an open directory stream, null at the end: readdir, or in a test a stream
// that hides what readdir would tell.
using directory_reader = dirent* (*)(DIR*);

// Every entry of the folder, "." and ".." included; none when it cannot be opened. An entry
// that vanishes before it can be looked up is left out.
std::optional<directory_listing> list_directory(const std::string& folder,
                                                directory_reader read = ::readdir);

// The one entry at path, named shown; none when nothing is there.
std::optional<directory_listing> describe_path(const std::string& path, std::string_view shown);

// The size in bytes of an entry of the listing of folder, looked up when not yet known; 0 for
// a folder and for an entry that has gone since.
std::uint64_t entry_size(const std::string& folder, const directory_listing& listing,
                         const directory_entry& entry);

}  // namespace corvina::posix
