#include "standin/shared/directory_listing_posix.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <memory>
#include <utility>

#include "corvina/shared.h"
#include "support/utf8.h"

namespace corvina::posix {

namespace {

struct directory_close {
    void operator()(DIR* folder) const { ::closedir(folder); }
};

directory_entry named(std::string_view native) {
    directory_entry entry;
    entry.name = tessel::utf8_replace_invalid(native);
    if (entry.name != native) {
        entry.native = native;
    }
    return entry;
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

std::optional<std::vector<directory_entry>> list_directory(const std::string& folder,
                                                           directory_reader read) {
    const std::unique_ptr<DIR, directory_close> stream(::opendir(folder.c_str()));
    if (!stream) {
        return std::nullopt;
    }
    const int folder_fd = ::dirfd(stream.get());
    std::vector<directory_entry> entries;
    while (const dirent* item = read(stream.get())) {
        directory_entry entry = named(item->d_name);
        if (item->d_type == DT_DIR) {
            entry.attributes = win32_values::file_attribute_directory;
            entry.size = 0;
        } else if (item->d_type == DT_LNK || item->d_type == DT_UNKNOWN) {
            struct stat info {};
            if (!look_up(folder_fd, item->d_name, info)) {
                continue;
            }
            describe_by_status(entry, info);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<directory_entry> describe_path(const std::string& path, std::string_view shown) {
    struct stat info {};
    if (!look_up(AT_FDCWD, path.c_str(), info)) {
        return std::nullopt;
    }
    directory_entry entry = named(shown);
    describe_by_status(entry, info);
    return entry;
}

std::uint64_t entry_size(const std::string& folder, const directory_entry& entry) {
    if (entry.size) {
        return *entry.size;
    }
    const std::optional<directory_entry> found =
        describe_path(folder + "/" + entry.native_name(), entry.name);
    return found && found->size ? *found->size : 0;
}

}  // namespace corvina::posix
