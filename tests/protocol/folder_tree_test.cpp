// The folder tree on real folders, through LIST and DLST.

#include "protocol/folder_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "link_fixture.h"
#include "listing_parser.h"
#include "protocol/file_search.h"
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

TEST_F(folder_listing, a_deep_folder_chain_on_disk_is_walked_whole) {
    // A thousand levels, or as deep as the platform's path limit lets a folder search reach.
#if defined(_WIN32)
    const std::size_t limit = 240;
#else
    const std::size_t limit = 4000;
#endif
    const std::size_t base = music_.text().size();
    ASSERT_LT(base + 10, limit);
    const std::size_t depth = std::min<std::size_t>(1000, (limit - base - 10) / 2);
    std::filesystem::path deepest = music_.path();
    for (std::size_t i = 0; i < depth; ++i) {
        deepest /= "d";
        std::filesystem::create_directory(deepest);
    }
    const std::string reply = list(music_.text());
    // Root, then one record "d" per level, then the end mark.
    std::string expected = "LISTACK" + record(0x01, music_.text());
    for (std::size_t i = 0; i < depth; ++i) {
        expected += record(0x21, "d");
    }
    EXPECT_EQ(reply, expected + end_mark) << depth << " levels";
}

#if !defined(_WIN32)
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
}
#endif

}  // namespace
}  // namespace tessel
