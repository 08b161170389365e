// Directory searches of the wrapper library over POSIX folders, whose names are any bytes: the
// names handed out are UTF-8 all the same. Entries are told apart by the type the directory
// gives, or looked up where the file system gives none.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "corvina/shared.h"
#include "standin/shared/directory_listing_posix.h"
#include "tests/protocol/scratch_folder.h"

namespace tessel::test {
namespace {

using names = std::vector<std::string>;

const std::string replacement = "\xEF\xBF\xBD";

// Creates a file under the name's own bytes, not reading them as UTF-8.
void add_raw_file(const scratch_folder& folder, const std::string& name) {
    std::ofstream out(folder.path() / std::filesystem::path(name), std::ios::binary);
    ASSERT_TRUE(out.good()) << name;
}

// Every name the search hands out, "." and ".." left out, sorted.
names found_names(const std::string& pattern) {
    names found;
    corvina::find_file* search = uFindFirstFile(pattern.c_str());
    if (search == nullptr) {
        return found;
    }
    do {
        const std::string name = search->get_name();
        if (name != "." && name != "..") {
            found.push_back(name);
        }
    } while (search->next());
    search->destroy();
    std::sort(found.begin(), found.end());
    return found;
}

TEST(find_api, NamesThatAreNotUtf8ComeOutWithReplacementCharacters) {
    scratch_folder folder;
    add_raw_file(folder,
                 "a\xFF"
                 "b.mp3");
    add_raw_file(folder, "caf\xE9.mp3");  // Latin-1
    add_raw_file(folder, "caf\xC3\xA9.mp3");

    // Sorted, as found_names answers.
    const names expected{"a" + replacement + "b.mp3", "caf\xC3\xA9.mp3",
                         "caf" + replacement + ".mp3"};
    EXPECT_EQ(found_names(folder.text() + "/*"), expected);
    EXPECT_EQ(found_names(folder.text() + "\\*.*"), expected);
    // Asked for by its own bytes, the file is found and named in UTF-8 too.
    EXPECT_EQ(found_names(folder.text() + "/a\xFF"
                                          "b.mp3"),
              names{"a" + replacement + "b.mp3"});
}

// readdir as a file system that records no entry types shows it: every type DT_UNKNOWN.
dirent* read_without_types(DIR* stream) {
    static thread_local dirent copy;
    const dirent* item = ::readdir(stream);
    if (item == nullptr) {
        return nullptr;
    }
    // Only the fields the listing reads: a record may be shorter than the whole structure.
    copy.d_ino = item->d_ino;
    copy.d_type = DT_UNKNOWN;
    const std::size_t length = std::min(std::strlen(item->d_name), sizeof copy.d_name - 1);
    std::memcpy(copy.d_name, item->d_name, length);
    copy.d_name[length] = '\0';
    return &copy;
}

struct described {
    std::uint32_t attributes;
    std::uint64_t size;
    bool operator==(const described&) const = default;
};

std::map<std::string, described> describe_all(const std::string& folder,
                                              corvina::posix::directory_reader read) {
    std::map<std::string, described> seen;
    const auto entries = corvina::posix::list_directory(folder, read);
    if (!entries) {
        ADD_FAILURE() << "cannot list " << folder;
        return seen;
    }
    for (const corvina::posix::directory_entry& entry : entries->entries()) {
        seen[entries->name(entry)] = {entry.attributes,
                                      corvina::posix::entry_size(folder, *entries, entry)};
    }
    return seen;
}

TEST(find_api, EntriesOfAFileSystemWithoutTypesAreLookedUpAlike) {
    scratch_folder folder;
    { std::ofstream(folder.path() / "song.mp3") << std::string(1234, 'x'); }
    std::filesystem::create_directory(folder.path() / "Rock");
    std::filesystem::create_directory_symlink(folder.path() / "Rock", folder.path() / "to rock");
    std::filesystem::create_symlink(folder.path() / "song.mp3", folder.path() / "to song");
    std::filesystem::create_symlink(folder.path() / "gone", folder.path() / "dangling");

    const std::map<std::string, described> typed = describe_all(folder.text(), ::readdir);
    const std::map<std::string, described> untyped =
        describe_all(folder.text(), read_without_types);
    EXPECT_EQ(untyped, typed);
    constexpr std::uint32_t directory = 0x10;
    ASSERT_EQ(untyped.size(), 7u);
    EXPECT_EQ(untyped.at("Rock").attributes, directory);
    EXPECT_EQ(untyped.at("to rock").attributes, directory);  // a link as what it names
    EXPECT_EQ(untyped.at("song.mp3"), (described{0x80, 1234}));
    EXPECT_EQ(untyped.at("to song"), (described{0x80, 1234}));
    EXPECT_EQ(untyped.at("dangling").attributes, 0x80u);  // a dangling link as itself
    EXPECT_EQ(untyped.at("..").attributes, directory);
}

}  // namespace
}  // namespace tessel::test
