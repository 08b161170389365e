#include <sys/stat.h>

#include <string>

#include "protocol/folder_identity.h"

namespace tessel {

std::optional<folder_identity> identify_folder(const string8& path) {
    std::string native(path.view());
    for (char& c : native) {
        if (c == '\\') {
            c = '/';
        }
    }
    struct stat info {};
    if (::stat(native.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return folder_identity{static_cast<std::uint64_t>(info.st_dev), 0,
                           static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace tessel
