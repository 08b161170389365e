// The folder tree on real folders, through LIST and DLST.

#include "protocol/folder_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "link_fixture.h"
#include "listing_parser.h"
#include "protocol/file_search.h"
#include "protocol/folder_identity.h"
#include "scratch_folder.h"
#include "support/reply_buffer.h"

namespace tessel {
namespace {

using namespace std::string_literals;

const std::string end_mark = "\xFF\x00"s;

std::string record(std::uint8_t flags, const std::string& name) {
    return static_cast<char>(flags) + name + '\0';
}

// The names a folder search yields, in its order, without "." and "..".
std::vector<std::string> listing_order(const std::string& folder) {
    std::vector<std::string> names;
    file_search search = start_file_search((folder + "\\*.*").c_str());
    if (!search) {
        return names;
    }
    do {
        const std::string name = search->get_name();
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (search->next());
    return names;
}

// Folder identities the test decides, in place of the file system's, while in scope.
class identities_given_by {
  public:
    explicit identities_given_by(folder_identifier identify) { use_folder_identifier(identify); }
    identities_given_by(const identities_given_by&) = delete;
    identities_given_by& operator=(const identities_given_by&) = delete;
    ~identities_given_by() { use_folder_identifier(nullptr); }
};

std::optional<folder_identity> no_identity(const string8& /*path*/) {
    return folder_identity{};
}
std::optional<folder_identity> one_identity_for_all(const string8& /*path*/) {
    return folder_identity{1, 0, 7};
}
std::optional<folder_identity> duplicate_identities(const string8& path) {
    return folder_identity{1, 0, path.length() % 3 + 1};
}

// How deep the deepest entry lies below the node.
std::size_t depth_below(const test::listed_node& node) {
    std::size_t deepest = 0;
    for (const test::listed_node& entry : node.entries) {
        deepest = std::max(deepest, depth_below(entry) + 1);
    }
    return deepest;
}

class folder_listing : public test::link_fixture {
  protected:
    std::string list(const std::string& folders) {
        link_->set_music_folders(string8(folders));
        const std::size_t before = sent().size();
        run(commands::list);
        link_->join_list_worker(false);
        return sent().substr(before);
    }
    std::string list_one(const std::string& folder) {
        const std::size_t before = sent().size();
        std::string argument(2, '\0');
        argument[0] = static_cast<char>(folder.size() >> 8);
        argument[1] = static_cast<char>(folder.size() & 0xFF);
        run(commands::folder_list, argument + folder);
        return sent().substr(before);
    }

    test::scratch_folder music_;
};

TEST_F(folder_listing, list_sends_the_whole_tree) {
    music_.add_file("a.mp3");
    music_.add_file("Rock/b.mp3");
    const std::string root = record(0x01, music_.text());
    const std::string expected =
        listing_order(music_.text()).front() == "a.mp3"
            ? root + record(0x12, "a.mp3") + record(0x41, "Rock") + record(0x22, "b.mp3")
            : root + record(0x11, "Rock") + record(0x22, "b.mp3") + record(0x42, "a.mp3");
    EXPECT_EQ(list(music_.text()), "LISTACK" + expected + end_mark);
    EXPECT_EQ(writes().size(), 1u);
}

TEST_F(folder_listing, dlst_lists_one_level_only) {
    music_.add_file("a.mp3");
    music_.add_file("Rock/b.mp3");
    const std::string root = record(0x01, music_.text());
    const std::string expected = listing_order(music_.text()).front() == "a.mp3"
                                     ? root + record(0x12, "a.mp3") + record(0x43, "Rock")
                                     : root + record(0x13, "Rock") + record(0x42, "a.mp3");
    EXPECT_EQ(list_one(music_.text()), "LISTACK" + expected + end_mark);
    EXPECT_EQ(wire_->unread(), 0u);
}

TEST_F(folder_listing, folders_written_with_backslashes_are_found) {
    music_.add_file("Rock/b.mp3");
    const std::string reply = list_one(music_.text() + "\\Rock");
    EXPECT_EQ(reply, "LISTACK" + record(0x01, music_.text() + "\\Rock") + record(0x22, "b.mp3") +
                         end_mark);
}

TEST_F(folder_listing, a_folder_holding_one_file_gives_it_position_2) {
    music_.add_file("only.flac", 10);
    EXPECT_EQ(list(music_.text()),
              "LISTACK" + record(0x01, music_.text()) + record(0x22, "only.flac") + end_mark);
}

TEST_F(folder_listing, empty_folders_have_no_entries) {
    music_.add_folder("empty");
    music_.add_folder("full/inner");
    music_.add_file("z.mp3");
    const test::parsed_listing parsed = test::parse_listing(list(music_.text()));
    ASSERT_TRUE(parsed.well_formed);
    ASSERT_EQ(parsed.roots.size(), 1u);
    EXPECT_EQ(test::shape(parsed.roots[0]),
              music_.text() + "(1)[empty(1) full(1)[inner(1)] z.mp3(2)]");
    EXPECT_TRUE(test::positions_follow_listing_order(parsed.roots[0]));
}

TEST_F(folder_listing, dot_folders_are_skipped_but_dot_files_listed) {
    music_.add_file(".hidden/secret.mp3");
    music_.add_file("sub/.hidden");
    music_.add_file(".hidden.mp3");
    const test::parsed_listing parsed = test::parse_listing(list(music_.text()));
    ASSERT_TRUE(parsed.well_formed);
    ASSERT_EQ(parsed.roots.size(), 1u);
    EXPECT_EQ(test::shape(parsed.roots[0]),
              music_.text() + "(1)[.hidden.mp3(2) sub(1)[.hidden(2)]]");
    EXPECT_TRUE(test::positions_follow_listing_order(parsed.roots[0]));
}

TEST_F(folder_listing, several_music_folders_hang_under_a_nameless_root) {
    test::scratch_folder second;
    music_.add_file("a.mp3");
    second.add_file("b.mp3");
    const std::string reply = list(music_.text() + ";" + second.text());
    EXPECT_EQ(reply, "LISTACK" + record(0x01, "") + record(0x11, music_.text()) +
                         record(0x22, "a.mp3") + record(0x41, second.text()) +
                         record(0x22, "b.mp3") + end_mark);
}

TEST_F(folder_listing, an_unreadable_music_folder_takes_no_place) {
    test::scratch_folder second;
    second.add_file("b.mp3");
    const std::string missing = test::path_to_utf8(music_.path() / "missing");
    EXPECT_EQ(list(missing + ";" + second.text()), "LISTACK" + record(0x01, "") +
                                                       record(0x21, second.text()) +
                                                       record(0x22, "b.mp3") + end_mark);
    EXPECT_EQ(list(missing + ";" + missing), "LISTACK" + record(0x01, "") + end_mark);
}

TEST_F(folder_listing, missing_folder_sends_only_the_end_mark) {
    const std::string missing = test::path_to_utf8(music_.path() / "missing");
    EXPECT_EQ(list(missing), "LISTACK" + end_mark);
    EXPECT_EQ(list_one(missing), "LISTACK" + end_mark);
}

TEST(folder_paths, a_trailing_separator_makes_an_empty_last_piece_naming_the_root) {
    const std::vector<string8> pieces = split_music_folders(string8("C:\\A;"));
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0], "C:\\A");
    EXPECT_EQ(pieces[1], "");
    EXPECT_EQ(folder_path(string8(), pieces[1]), "\\");
    EXPECT_EQ(folder_path(string8(), pieces[0]), "C:\\A\\");
    EXPECT_EQ(folder_path(string8("C:\\A\\"), string8("Rock")), "C:\\A\\Rock\\");

    const std::vector<string8> empty_pieces = split_music_folders(string8(";;x"));
    ASSERT_EQ(empty_pieces.size(), 3u);
    EXPECT_EQ(empty_pieces[2], "x");
}

// Links a folder to another; false when folder links cannot be made here. (Wine 8 makes
// neither symbolic links nor junctions: the test is skipped there.)
bool link_folder(const std::filesystem::path& target, const std::filesystem::path& link,
                 std::string& failure) {
    std::error_code failed;
    std::filesystem::create_directory_symlink(target, link, failed);
    if (!failed && !std::filesystem::is_directory(link, failed)) {
        failed = std::make_error_code(std::errc::function_not_supported);
    }
    failure = failed ? failed.message() : std::string();
    return !failed;
}

TEST_F(folder_listing, a_folder_link_back_up_the_path_is_not_entered_again) {
    music_.add_file("Rock/b.mp3");
    music_.add_file("Rock/Sub/c.mp3");
    std::string failure;
    // One back to the music folder, one from deeper down back to a folder in the middle.
    if (!link_folder(music_.path(), music_.path() / "Rock" / "loop", failure) ||
        !link_folder(music_.path() / "Rock", music_.path() / "Rock" / "Sub" / "up", failure)) {
        GTEST_SKIP() << "folder links cannot be made here: " << failure;
    }
    const test::parsed_listing parsed = test::parse_listing(list(music_.text()));
    ASSERT_TRUE(parsed.well_formed);
    ASSERT_EQ(parsed.roots.size(), 1u);
    // Each link is listed as a folder whose contents are not included.
    EXPECT_EQ(test::shape(parsed.roots[0]),
              music_.text() + "(1)[Rock(1)[Sub(1)[c.mp3(2) up(3)] b.mp3(2) loop(3)]]");
}

TEST_F(folder_listing, links_to_a_sibling_and_into_one_are_walked_like_folders) {
    // Whichever folder is walked first, a link then leads into a folder walked before.
    music_.add_file("Rock/Sub/b.mp3");
    music_.add_file("Jazz/Inner/c.mp3");
    std::string failure;
    if (!link_folder(music_.path() / "Rock" / "Sub", music_.path() / "Jazz" / "r", failure) ||
        !link_folder(music_.path() / "Jazz", music_.path() / "Rock" / "j", failure)) {
        GTEST_SKIP() << "folder links cannot be made here: " << failure;
    }
    const test::parsed_listing parsed = test::parse_listing(list(music_.text()));
    ASSERT_TRUE(parsed.well_formed);
    EXPECT_EQ(test::shape(parsed.roots[0]),
              music_.text() +
                  "(1)[Jazz(1)[Inner(1)[c.mp3(2)] r(1)[b.mp3(2)]] "
                  "Rock(1)[Sub(1)[b.mp3(2)] j(1)[Inner(1)[c.mp3(2)] r(1)[b.mp3(2)]]]]");
}

TEST_F(folder_listing, every_folder_is_listed_whatever_identities_the_file_system_gives) {
    music_.add_file("A/x.mp3");
    music_.add_file("A/A1/y.mp3");
    music_.add_folder("A/A2");
    music_.add_file("B/B1/z.mp3");
    music_.add_file("C/A/q.mp3");
    const test::parsed_listing real = test::parse_listing(list(music_.text()));
    ASSERT_TRUE(real.well_formed);
    ASSERT_EQ(real.roots.size(), 1u);
    const std::string whole = test::shape(real.roots[0]);
    for (const folder_identifier identify :
         {no_identity, one_identity_for_all, duplicate_identities}) {
        const identities_given_by given(identify);
        const test::parsed_listing parsed = test::parse_listing(list(music_.text()));
        ASSERT_TRUE(parsed.well_formed);
        EXPECT_EQ(test::shape(parsed.roots[0]), whole);
    }
    EXPECT_EQ(console_.lines(), std::vector<std::string>{});
}

TEST_F(folder_listing, a_link_loop_with_unknown_identities_stops_at_the_depth_bound) {
    music_.add_file("Rock/Sub/b.mp3");
    std::error_code failed;
    std::filesystem::create_directory_symlink(music_.path() / "Rock",
                                              music_.path() / "Rock" / "Sub" / "up", failed);
    if (failed) {
        GTEST_SKIP() << "folder links cannot be made here: " << failed.message();
    }
    const identities_given_by given(no_identity);
    const test::parsed_listing parsed = test::parse_listing(list(music_.text()));
    ASSERT_TRUE(parsed.well_formed);
    ASSERT_EQ(parsed.roots.size(), 1u);
    // Rock/Sub/up/Sub/up/...: 64 levels deep, where the last folder is listed without contents.
    const std::size_t depth = depth_below(parsed.roots[0]);
    EXPECT_GE(depth, 32u);
    EXPECT_LE(depth, 128u);
    EXPECT_EQ(console_.lines(), std::vector<std::string>{"ERROR : Could not list 1 folder."});
}

// Every pattern the walk starts a search with, while in scope.
class recorded_searches {
  public:
    recorded_searches() { use_file_search_starter(record); }
    recorded_searches(const recorded_searches&) = delete;
    recorded_searches& operator=(const recorded_searches&) = delete;
    ~recorded_searches() { use_file_search_starter(nullptr); }

    static std::vector<std::string> patterns() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return patterns_;
    }

  private:
    static corvina::find_file* record(const char* pattern) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            patterns_.emplace_back(pattern);
        }
        return uFindFirstFile(pattern);
    }

    static inline std::mutex mutex_;
    static inline std::vector<std::string> patterns_;
};

TEST_F(folder_listing, a_deep_folder_chain_on_disk_is_walked_whole) {
    // A thousand levels, or on Windows a path well past MAX_PATH (260).
#if defined(_WIN32)
    const std::size_t limit = 400;
#else
    const std::size_t limit = 4000;
#endif
    const std::size_t base = music_.text().size();
    ASSERT_LT(base + 10, limit);
    const std::size_t depth = std::min<std::size_t>(1000, (limit - base - 10) / 2);
    std::filesystem::path deepest = music_.path();
    std::string deepest_text = music_.text();
    for (std::size_t i = 0; i < depth; ++i) {
        deepest /= "d";
        deepest_text += "\\d";
#if defined(_WIN32)
        // The test's own folders are made through the long form too.
        std::filesystem::create_directory("\\\\?\\" + deepest_text);
#else
        std::filesystem::create_directory(deepest);
#endif
    }
    const recorded_searches searches;
    const std::string reply = list(music_.text());
    // Root, then one record "d" per level, then the end mark.
    std::string expected = "LISTACK" + record(0x01, music_.text());
    for (std::size_t i = 0; i < depth; ++i) {
        expected += record(0x21, "d");
    }
    EXPECT_EQ(reply, expected + end_mark) << depth << " levels";
#if defined(_WIN32)
    // The search is asked for the deepest folder in the form Windows reaches past MAX_PATH.
    const std::vector<std::string> patterns = searches.patterns();
    EXPECT_NE(std::find(patterns.begin(), patterns.end(), "\\\\?\\" + deepest_text + "\\*.*"),
              patterns.end());
#endif
}

#if defined(_WIN32)
TEST_F(folder_listing, folders_whose_names_end_in_a_dot_or_a_space_are_listed_as_they_are) {
    // In a path's ordinary form Windows trims such names: "Live." would be searched as "Live".
    music_.add_file("Live/a.mp3");
    const std::string long_form = "\\\\?\\" + music_.text() + "\\";
    for (const std::string name : {"Live.", "Live "}) {
        std::filesystem::create_directory(test::path_from_utf8(long_form + name));
        std::ofstream(test::path_from_utf8(long_form + name + "\\" + name + "mp3"));
    }
    const recorded_searches searches;
    const test::parsed_listing parsed = test::parse_listing(list(music_.text()));
    ASSERT_TRUE(parsed.well_formed);
    ASSERT_EQ(parsed.roots.size(), 1u);
    EXPECT_EQ(test::shape(parsed.roots[0]),
              music_.text() + "(1)[Live (1)[Live mp3(2)] Live(1)[a.mp3(2)] Live.(1)[Live.mp3(2)]]");
    const std::vector<std::string> patterns = searches.patterns();
    EXPECT_NE(std::find(patterns.begin(), patterns.end(), long_form + "Live.\\*.*"),
              patterns.end());
    EXPECT_EQ(console_.lines(), std::vector<std::string>{});
    // Only their long form reaches them to remove them.
    for (const std::string name : {"Live.", "Live "}) {
        std::error_code ignored;
        std::filesystem::remove(test::path_from_utf8(long_form + name + "\\" + name + "mp3"),
                                ignored);
        std::filesystem::remove(test::path_from_utf8(long_form + name), ignored);
    }
}
#else
TEST_F(folder_listing, a_subfolder_that_cannot_be_listed_takes_no_place_among_its_siblings) {
    // A Latin-1 name reaches the walk with U+FFFD in it, a path that cannot be opened: the
    // entries before it are marked last (or only) whatever the order the folder lists in.
    music_.add_file("one/a.mp3");
    music_.add_folder(
        "one/caf\xE9"
        "/inner");
    music_.add_file("two/a.mp3");
    music_.add_file("two/b.mp3");
    music_.add_folder(
        "two/caf\xE9"
        "/inner");
    const test::parsed_listing parsed = test::parse_listing(list(music_.text()));
    ASSERT_TRUE(parsed.well_formed);
    ASSERT_EQ(parsed.roots.size(), 1u);
    EXPECT_EQ(test::shape(parsed.roots[0]),
              music_.text() + "(1)[one(1)[a.mp3(2)] two(1)[a.mp3(2) b.mp3(2)]]");
    EXPECT_TRUE(test::positions_follow_listing_order(parsed.roots[0]));
    // Left out, but not without a word.
    EXPECT_EQ(console_.lines(), std::vector<std::string>{"ERROR : Could not list 2 folders."});
}
#endif

}  // namespace
}  // namespace tessel
