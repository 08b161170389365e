#pragma once
// Files and paths as the stand-in player meets them: UTF-8 paths that may come from Windows,
// and the audio files of a folder tree.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

std::filesystem::path path_from_utf8(std::string_view path);
std::string path_to_utf8(const std::filesystem::path& path);

// The path as this platform opens it: on POSIX a backslash separates folders too.
std::string native_path(std::string_view path);

// Known audio file extensions, compared without regard to case.
bool is_audio_file_name(std::string_view name);

// The audio files below a folder, recursively, sorted by path. Folder links are not followed
// (no loops); unreadable folders are skipped.
std::vector<std::string> collect_audio_files(const std::string& folder);

}  // namespace standin
