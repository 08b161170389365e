// The wrapper library's directory search.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "protocol/file_search.h"
#include "scratch_folder.h"

namespace tessel {
namespace {

struct entry_seen {
    std::uint64_t size;
    std::uint32_t attributes;
};

std::map<std::string, entry_seen> every_entry(const std::string& pattern) {
    std::map<std::string, entry_seen> seen;
    file_search search = start_file_search(pattern.c_str());
    if (!search) {
        return seen;
    }
    do {
        seen[search->get_name()] = entry_seen{search->get_size(), search->get_attributes()};
    } while (search->next());
    EXPECT_FALSE(search->next());  // stays at its end
    return seen;
}

constexpr std::uint32_t directory = 0x10;

class find_file : public ::testing::Test {
  protected:
    find_file() {
        folder_.add_file("song.mp3", 1234);
        folder_.add_file("Caf\xC3\xA9.ogg", 7);
        folder_.add_folder("Rock");
    }
    test::scratch_folder folder_;
};

TEST_F(find_file, star_dot_star_lists_every_entry_with_dot_entries) {
    const auto seen = every_entry(folder_.text() + "\\*.*");
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_TRUE(seen.at(".").attributes & directory);
    EXPECT_TRUE(seen.at("..").attributes & directory);
    EXPECT_TRUE(seen.at("Rock").attributes & directory);
    EXPECT_FALSE(seen.at("song.mp3").attributes & directory);
    EXPECT_EQ(seen.at("song.mp3").size, 1234u);
    EXPECT_EQ(seen.at("Caf\xC3\xA9.ogg").size, 7u);
}

TEST_F(find_file, a_lone_star_lists_every_entry_too) {
    EXPECT_EQ(every_entry(folder_.text() + "/*").size(), 5u);
}

TEST_F(find_file, backslashes_and_slashes_both_separate) {
    EXPECT_EQ(every_entry(folder_.text() + "\\Rock\\*.*").size(), 2u);
    EXPECT_EQ(every_entry(folder_.text() + "/Rock/*.*").size(), 2u);
}

TEST_F(find_file, an_exact_path_finds_that_one_entry) {
    const auto file = every_entry(folder_.text() + "\\song.mp3");
    ASSERT_EQ(file.size(), 1u);
    EXPECT_EQ(file.at("song.mp3").size, 1234u);
    const auto non_ascii = every_entry(folder_.text() + "/Caf\xC3\xA9.ogg");
    ASSERT_EQ(non_ascii.size(), 1u);
    EXPECT_EQ(non_ascii.begin()->first, "Caf\xC3\xA9.ogg");
    const auto folder = every_entry(folder_.text() + "\\Rock");
    ASSERT_EQ(folder.size(), 1u);
    EXPECT_TRUE(folder.at("Rock").attributes & directory);
}

TEST_F(find_file, nothing_matching_gives_no_search) {
    EXPECT_FALSE(start_file_search((folder_.text() + "\\missing.mp3").c_str()));
    EXPECT_FALSE(start_file_search((folder_.text() + "\\missing\\*.*").c_str()));
    EXPECT_FALSE(start_file_search(""));
    EXPECT_FALSE(start_file_search(nullptr));
}

}  // namespace
}  // namespace tessel
