#pragma once
// A real folder under the system's temporary folder, removed with everything in it at the end.

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace tessel::test {

// Paths to and from UTF-8 text, whatever the system's own code page.
inline std::filesystem::path path_from_utf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string path_to_utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

class scratch_folder {
  public:
    scratch_folder() {
        std::random_device random;
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            path_ = base / ("tessel_" + std::to_string(random()) + std::to_string(random()));
            if (std::filesystem::create_directory(path_)) {
                break;
            }
        }
    }
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;
    ~scratch_folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    const std::filesystem::path& path() const { return path_; }
    // The folder's path as UTF-8 text, the way the phone and the setting give it.
    std::string text() const { return path_to_utf8(path_); }

    void add_folder(const std::string& relative) const {
        std::filesystem::create_directories(path_ / path_from_utf8(relative));
    }
    // Makes the folders on the way as well.
    void add_file(const std::string& relative, std::size_t size = 0) const {
        const std::filesystem::path file = path_ / path_from_utf8(relative);
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary);
        out << std::string(size, 'x');
    }

  private:
    std::filesystem::path path_;
};

}  // namespace tessel::test
