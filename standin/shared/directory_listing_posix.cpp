#include "standin/shared/directory_listing_posix.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

#include "corvina/shared.h"
#include "support/utf8.h"

namespace corvina::posix {

namespace {

struct directory_close {
    void operator()(DIR* folder) const { ::closedir(folder); }
};

bool is_utf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        if (static_cast<unsigned char>(text[at]) < 0x80) {
            ++at;
            continue;
        }
        const std::size_t used =
            tessel::utf8_unicode_char_length(text.data() + at, text.size() - at);
        if (used == 0) {
            return false;
        }
        at += used;
    }
    return true;
}

void describe_by_status(directory_entry& entry, const struct stat& info) {
    if (S_ISDIR(info.st_mode)) {
        entry.attributes = win32_values::file_attribute_directory;
        entry.size = 0;
    } else {
        entry.attributes = attribute_normal;
        entry.size = static_cast<std::uint64_t>(info.st_size);
    }
}

// A link is described by what it names; a dangling one as the link itself.
bool look_up(int folder_fd, const char* name, struct stat& info) {
    return ::fstatat(folder_fd, name, &info, 0) == 0 ||
           ::fstatat(folder_fd, name, &info, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace

directory_entry& directory_listing::add(std::string_view native) {
    directory_entry entry;
    entry.name_at = names_.size();
    entry.native_at = entry.name_at;
    if (is_utf8(native)) {
        names_ += native;
    } else {
        names_ += tessel::utf8_replace_invalid(native);
        names_ += '\0';
        entry.native_at = names_.size();
        names_ += native;
    }
    names_ += '\0';
    entries_.push_back(entry);
    return entries_.back();
}

std::optional<directory_listing> list_directory(const std::string& folder, directory_reader read) {
    const std::unique_ptr<DIR, directory_close> stream(::opendir(folder.c_str()));
    if (!stream) {
        return std::nullopt;
    }
    const int folder_fd = ::dirfd(stream.get());
    directory_listing listing;
    while (const dirent* item = read(stream.get())) {
        struct stat info {};
        const bool look = item->d_type == DT_LNK || item->d_type == DT_UNKNOWN;
        if (look && !look_up(folder_fd, item->d_name, info)) {
            continue;
        }
        directory_entry& entry = listing.add(item->d_name);
        if (look) {
            describe_by_status(entry, info);
        } else if (item->d_type == DT_DIR) {
            entry.attributes = win32_values::file_attribute_directory;
            entry.size = 0;
        }
    }
    return listing;
}

std::optional<directory_listing> describe_path(const std::string& path, std::string_view shown) {
    struct stat info {};
    if (!look_up(AT_FDCWD, path.c_str(), info)) {
        return std::nullopt;
    }
    directory_listing listing;
    describe_by_status(listing.add(shown), info);
    return listing;
}

std::uint64_t entry_size(const std::string& folder, const directory_listing& listing,
                         const directory_entry& entry) {
    if (entry.size) {
        return *entry.size;
    }
    const std::string path = folder + "/" + listing.native_name(entry);
    const std::optional<directory_listing> found = describe_path(path, listing.name(entry));
    return found ? found->entries().front().size.value_or(0) : 0;
}

}  // namespace corvina::posix
