// Directory searches of the wrapper library over POSIX folders, whose names are any bytes: the
// names handed out are UTF-8 all the same.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "corvina/shared.h"
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

}  // namespace
}  // namespace tessel::test
