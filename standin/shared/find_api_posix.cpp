// Directory searches over POSIX folders, answering as the Windows search does: "." and ".."
// are entries, folders carry the attribute bit 0x10, a backslash separates folders too, and
// names are UTF-8 (a POSIX name is any bytes; those that are not UTF-8 become U+FFFD).

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "corvina/shared.h"
#include "support/utf8.h"

namespace {

constexpr std::uint32_t attribute_normal = 0x80;

struct found_entry {
    std::string name;
    std::uint64_t size;
    std::uint32_t attributes;
};

found_entry describe(std::string_view name, const struct stat& info) {
    std::string shown = tessel::utf8_replace_invalid(name);
    if (S_ISDIR(info.st_mode)) {
        return found_entry{std::move(shown), 0, corvina::win32_values::file_attribute_directory};
    }
    return found_entry{std::move(shown), static_cast<std::uint64_t>(info.st_size),
                       attribute_normal};
}

// The whole listing is read when the search starts, so no folder stays open while the caller
// works through it.
class listed_search final : public corvina::find_file {
  public:
    explicit listed_search(std::vector<found_entry> entries) : entries_(std::move(entries)) {}

    bool next() override {
        if (at_ + 1 >= entries_.size()) {
            return false;
        }
        ++at_;
        return true;
    }
    const char* get_name() const override { return entries_[at_].name.c_str(); }
    std::uint64_t get_size() const override { return entries_[at_].size; }
    std::uint32_t get_attributes() const override { return entries_[at_].attributes; }
    void destroy() override { delete this; }

  private:
    ~listed_search() = default;

    std::vector<found_entry> entries_;
    std::size_t at_ = 0;
};

std::vector<found_entry> list_every_entry(const std::string& folder) {
    std::vector<found_entry> entries;
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) {
        return entries;
    }
    const int folder_fd = ::dirfd(listing);
    while (const dirent* item = ::readdir(listing)) {
        struct stat info {};
        // A link is described by what it names; a dangling one as a link.
        if (::fstatat(folder_fd, item->d_name, &info, 0) != 0 &&
            ::fstatat(folder_fd, item->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        entries.push_back(describe(item->d_name, info));
    }
    ::closedir(listing);
    return entries;
}

}  // namespace

corvina::find_file* uFindFirstFile(const char* pattern) {
    if (pattern == nullptr) {
        return nullptr;
    }
    std::string path(pattern);
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : path.substr(0, slash);
    const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    if (last.empty()) {
        return nullptr;
    }
    try {
        std::vector<found_entry> entries;
        if (last == "*" || last == "*.*") {
            entries = list_every_entry(folder);
        } else {
            struct stat info {};
            if (::stat(path.c_str(), &info) == 0) {
                entries.push_back(describe(last, info));
            }
        }
        if (entries.empty()) {
            return nullptr;
        }
        return new listed_search(std::move(entries));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
