#include "standin/player/id3v2_tags.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <vector>

#include "tests/standin/test_audio.h"

namespace standin {
namespace {

using namespace std::string_literals;

// A big-endian number; synchsafe ones carry 7 bits a byte.
std::string number(std::uint32_t value, int bytes, unsigned bits = 8) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<char>((value >> (bits * i)) & ((1u << bits) - 1)));
    }
    return out;
}

std::string frame(unsigned version, const std::string& id, const std::string& content,
                  unsigned format = 0) {
    if (version == 2) {
        return id + number(content.size(), 3) + content;
    }
    return id + number(content.size(), 4, version == 4 ? 7 : 8) + '\0' + static_cast<char>(format) +
           content;
}

std::string block(unsigned version, const std::string& body, unsigned flags = 0) {
    return "ID3"s + static_cast<char>(version) + '\0' + static_cast<char>(flags) +
           number(body.size(), 4, 7) + body;
}

std::string latin1(const std::string& text) {
    return "\0"s + text;
}

std::string little_endian_32(std::uint32_t value) {
    const std::string big = number(value, 4);
    return {big.rbegin(), big.rend()};
}

// A 0x00 after each 0xFF, so that no byte pair looks like an MPEG frame start.
std::string unsynchronise(const std::string& bytes) {
    std::string out;
    for (char byte : bytes) {
        out += byte;
        if (byte == '\xFF') {
            out += '\0';
        }
    }
    return out;
}

std::string utf16le(std::u16string_view text) {
    std::string out = "\x01\xFF\xFE"s;
    for (char16_t unit : text) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
    return out + "\0\0"s;
}

// What an encoder writes: version 2.3, UTF-16 texts, frames nobody shows, padding.
std::string encoder_block() {
    return block(3, frame(3, "TSSE", latin1("LAME 3.100")) + frame(3, "TIT2", utf16le(u"Jóga ♪")) +
                        frame(3, "TPE1", utf16le(u"Bj\u00F6rk")) +
                        frame(3, "TLEN", latin1("5000")) + frame(3, "TRCK", latin1("03/12")) +
                        std::string(64, '\0'));
}

TEST(Id3v2Tags, EveryVersionGivesItsTextFramesInUtf8) {
    EXPECT_EQ(parse_id3v2(encoder_block()),
              (tag_fields{{"artist", "Björk"}, {"title", "Jóga ♪"}, {"tracknumber", "3"}}));

    // 2.4: UTF-8 and UTF-16BE with a surrogate pair, a frame with a data length and
    // unsynchronisation, the first of two titles, the first of several values.
    const std::string v24 =
        block(4, frame(4, "TIT2", "\x03Ça ira\0Other"s) + frame(4, "TIT2", "\x03Later"s) +
                     frame(4, "TALB", "\x02\xD8\x3D\xDE\x00\x00 \x00X"s) +
                     frame(4, "TPE1", number(3, 4, 7) + unsynchronise(latin1("\xFF\xE9")), 0x03) +
                     frame(4, "TDRC", latin1("2024-05-01")));
    EXPECT_EQ(
        parse_id3v2(v24),
        (tag_fields{{"title", "Ça ira"}, {"album", "😀 X"}, {"artist", "ÿé"}, {"date", "2024"}}));

    // 2.3 unsynchronised as a whole, with an extended header; 2.2 with three-letter names.
    const std::string v23 = block(
        3,
        unsynchronise(number(6, 4) + std::string(6, '\0') + frame(3, "TIT2", latin1("\xFF\xFF"))),
        0xC0);
    EXPECT_EQ(parse_id3v2(v23), (tag_fields{{"title", "ÿÿ"}}));
    EXPECT_EQ(parse_id3v2(
                  block(2, frame(2, "TT2", latin1("Title")) + frame(2, "TP1", latin1("Bj\xF6rk")))),
              (tag_fields{{"title", "Title"}, {"artist", "Björk"}}));
}

// Every piece lives in memory of its own exact size, so a read past it is a sanitizer error.
TEST(Id3v2Tags, CutShortOrGarbageBlocksGiveWhatIsWholeAndNoMore) {
    const std::string whole = encoder_block();
    const tag_fields all = parse_id3v2(whole);
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const std::vector<char> piece(whole.begin(), whole.begin() + size);
        const tag_fields some = parse_id3v2({piece.data(), piece.size()});
        for (const auto& [name, text] : some) {
            EXPECT_EQ(all.at(name), text) << "cut at " << size;
        }
    }
    // Sizes that claim far more than there is.
    EXPECT_TRUE(parse_id3v2(block(3, "TIT2\xFF\xFF\xFF\xFF\0\0\0Title"s)).empty());
    EXPECT_TRUE(
        parse_id3v2(block(3, "\x7F\xFF\xFF\xFF"s + frame(3, "TIT2", latin1("T")), 0x40)).empty());
    EXPECT_TRUE(parse_id3v2("ID3\x04\0\0\x80\0\0\0"s).empty());

    std::mt19937 random(14);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes = block(2 + round % 3, "", round % 2 ? 0xC0 : 0);
        bytes.resize(10 + random() % 200);
        for (std::size_t i = 10; i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>(random() % 4 == 0 ? 'T' : random());
        }
        bytes.replace(6, 4, number(bytes.size() - 10 + random() % 8, 4, 7));
        for (const auto& [name, text] : parse_id3v2(bytes)) {
            EXPECT_FALSE(text.empty()) << name;
        }
    }
}

TEST(Id3v2Tags, FilesCarryTheBlockAtTheirStartOrInAWaveChunk) {
    const test::scratch_folder files("id3v2");
    const std::string tag = encoder_block();
    std::ofstream(files.path() / "song.mp3", std::ios::binary) << tag << std::string(4096, '\xFF');
    EXPECT_EQ(read_id3v2_file(files.path() / "song.mp3").at("title"), "Jóga ♪");

    test::write_silent_wav(files.path() / "song.wav", 1);
    std::ofstream(files.path() / "song.wav", std::ios::binary | std::ios::app)
        << "id3 " << little_endian_32(static_cast<std::uint32_t>(tag.size())) << tag;
    EXPECT_EQ(read_id3v2_file(files.path() / "song.wav").at("artist"), "Björk");

    // A block cut short in its artist frame, a wave file without one, no file at all.
    std::ofstream(files.path() / "cut.mp3", std::ios::binary)
        << tag.substr(0, tag.find("TPE1") + 8);
    EXPECT_EQ(read_id3v2_file(files.path() / "cut.mp3"), (tag_fields{{"title", "Jóga ♪"}}));
    test::write_silent_wav(files.path() / "plain.wav", 1);
    EXPECT_TRUE(read_id3v2_file(files.path() / "plain.wav").empty());
    EXPECT_TRUE(read_id3v2_file(files.path() / "missing.mp3").empty());
}

}  // namespace
}  // namespace standin
