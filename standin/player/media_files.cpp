#include "standin/player/media_files.h"

#include <algorithm>
#include <array>

#include "standin/player/text_case.h"

namespace standin {

std::filesystem::path path_from_utf8(std::string_view path) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size()));
}

std::string path_to_utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::string native_path(std::string_view path) {
    std::string result(path);
#ifndef _WIN32
    std::replace(result.begin(), result.end(), '\\', '/');
#endif
    return result;
}

bool is_audio_file_name(std::string_view name) {
    static constexpr std::array<std::string_view, 17> extensions{
        "mp3", "mp2", "flac", "ogg", "oga", "opus", "wav",  "m4a", "mp4",
        "aac", "wma", "ape",  "wv",  "mpc", "aif",  "aiff", "spx",
    };
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos) {
        return false;
    }
    const std::string extension = lower_ascii(name.substr(dot + 1));
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

std::vector<std::string> collect_audio_files(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    std::error_code error;
    fs::recursive_directory_iterator it(path_from_utf8(native_path(folder)),
                                        fs::directory_options::skip_permission_denied, error);
    for (const fs::recursive_directory_iterator end; !error && it != end; it.increment(error)) {
        std::error_code type_error;
        if (it->is_regular_file(type_error) &&
            is_audio_file_name(path_to_utf8(it->path().filename()))) {
            files.push_back(path_to_utf8(it->path()));
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace standin
