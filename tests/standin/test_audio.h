#pragma once
// Audio files made on the spot for the stand-in player's tests: a short silent WAV file,
// tagged with TagLib where the platform has it.

#include <filesystem>
#include <map>
#include <string>

namespace standin::test {

// Writes a silent 16-bit mono WAV file of the given length (seconds at 8 kHz).
void write_silent_wav(const std::filesystem::path& path, int seconds);

// Writes the tags (artist, title, album, genre; UTF-8) into the file; false where tags cannot
// be written.
bool write_tags(const std::filesystem::path& path, const std::map<std::string, std::string>& tags);

// A folder of its own under the system's temporary folder, removed with the object.
class scratch_folder {
  public:
    explicit scratch_folder(const std::string& name);
    ~scratch_folder();
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of an entry inside, as UTF-8 text.
    std::string operator/(const std::string& name) const;

  private:
    std::filesystem::path path_;
};

}  // namespace standin::test
