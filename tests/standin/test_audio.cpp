#include "tests/standin/test_audio.h"

#include <fstream>
#include <random>
#include <vector>

#ifndef _WIN32
#include <taglib/fileref.h>
#include <taglib/tag.h>
#endif

#include "standin/player/media_files.h"

namespace standin::test {
namespace {

void put32(std::ofstream& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.put(static_cast<char>(value >> (8 * i)));
    }
}

void put16(std::ofstream& out, std::uint16_t value) {
    out.put(static_cast<char>(value));
    out.put(static_cast<char>(value >> 8));
}

}  // namespace

void write_silent_wav(const std::filesystem::path& path, int seconds) {
    constexpr std::uint32_t rate = 8000;
    const std::uint32_t data_size = rate * 2 * static_cast<std::uint32_t>(seconds);
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    put32(out, 36 + data_size);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 1);  // mono
    put32(out, rate);
    put32(out, rate * 2);
    put16(out, 2);
    put16(out, 16);
    out.write("data", 4);
    put32(out, data_size);
    const std::vector<char> silence(data_size, 0);
    out.write(silence.data(), static_cast<std::streamsize>(silence.size()));
}

bool write_tags(const std::filesystem::path& path, const std::map<std::string, std::string>& tags) {
#ifdef _WIN32
    (void)path;
    (void)tags;
    return false;
#else
    TagLib::FileRef file(path.c_str());
    if (file.isNull() || file.tag() == nullptr) {
        return false;
    }
    TagLib::Tag* tag = file.tag();
    for (const auto& [name, value] : tags) {
        const TagLib::String text(value, TagLib::String::UTF8);
        if (name == "artist") {
            tag->setArtist(text);
        } else if (name == "title") {
            tag->setTitle(text);
        } else if (name == "album") {
            tag->setAlbum(text);
        } else if (name == "genre") {
            tag->setGenre(text);
        }
    }
    return file.save();
#endif
}

scratch_folder::scratch_folder(const std::string& name) {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("standin_" + name + "_" + std::to_string(random()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

scratch_folder::~scratch_folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string scratch_folder::operator/(const std::string& name) const {
    return path_to_utf8(path_ / path_from_utf8(name));
}

}  // namespace standin::test
