// The preferences page as the user meets it: opened by the player, changed through its
// controls, every change stored in the settings at once.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corvina/dialogs.h"
#include "host/settings.h"
#include "support/string8.h"
#include "tests/common/sample_ports.h"
#include "tests/preferences/page_fixture.h"

namespace tessel::test {
namespace {

namespace dialogs = corvina::dialogs;
using strings = std::vector<std::string>;

constexpr int music_directory = 1002;
constexpr int browse = 1003;
constexpr int com_port = 1004;
constexpr int connect = 1005;
constexpr int auto_connect = 1006;
constexpr int title_format = 1007;
constexpr int help = 1008;
constexpr int next_random = 1009;
constexpr int playlist = 1010;
constexpr int use_playlist = 1011;

constexpr corvina::guid help_command{
    0x91E349DA, 0x8800, 0x42E5, {0xBC, 0x8C, 0xF3, 0xA9, 0x25, 0x77, 0xAE, 0x84}};
constexpr corvina::guid other_command{
    0x91E349DA, 0x8800, 0x42E5, {0xBC, 0x8C, 0xF3, 0xA9, 0x25, 0x77, 0xAE, 0x85}};

TEST_F(preferences_page_test, OpensWithEveryControlTakenFromTheSettings) {
    playlists.names = {"Default", "Road trip", "Jazz"};
    player.add_service(corvina::class_guids::playlist_service, playlists);
    cfg_music_directory.set("C:\\Music;D:\\Songs");
    cfg_com_port.set("COM12");
    cfg_title_format.set("%title%");
    cfg_auto_connect = 1;
    cfg_shuffle_next_random = 0;
    cfg_use_specific_playlist = 1;
    cfg_specific_playlist = 1;

    ASSERT_NE(open_page(), nullptr);

    EXPECT_EQ(combo_items(), (strings{"Default", "Road trip", "Jazz"}));
    // Asked before each item and once more to end.
    EXPECT_EQ(playlists.count_questions, 4);
    EXPECT_EQ(dialogs::get_selection(page, playlist), 1);
    EXPECT_EQ(text(music_directory), "C:\\Music;D:\\Songs");
    EXPECT_EQ(text(com_port), "COM12");
    EXPECT_EQ(text(title_format), "%title%");
    EXPECT_EQ(dialogs::get_check(page, auto_connect), 1);
    EXPECT_EQ(dialogs::get_check(page, next_random), 0);
    EXPECT_EQ(dialogs::get_check(page, use_playlist), 1);
    EXPECT_TRUE(dialogs::is_enabled(page, playlist));
    EXPECT_TRUE(dialogs::is_enabled(page, 0));
    // Opening stores nothing new.
    EXPECT_EQ(cfg_music_directory.view(), "C:\\Music;D:\\Songs");
    EXPECT_EQ(cfg_com_port.view(), "COM12");
    EXPECT_EQ(cfg_specific_playlist, 1);
    EXPECT_TRUE(console.lines().empty());
}

TEST_F(preferences_page_test, DropDownStartsDisabledWhenNoSpecificPlaylistIsUsed) {
    playlists.names = {"Default"};
    player.add_service(corvina::class_guids::playlist_service, playlists);
    ASSERT_NE(open_page(), nullptr);

    EXPECT_FALSE(dialogs::is_enabled(page, playlist));
    EXPECT_TRUE(dialogs::is_enabled(page, 0));
    EXPECT_FALSE(dialogs::choose_item(page, playlist, 0));
    EXPECT_EQ(cfg_specific_playlist, 0);
}

TEST_F(preferences_page_test, NoPlaylistsGiveAnEmptyDropDown) {
    player.add_service(corvina::class_guids::playlist_service, playlists);
    cfg_use_specific_playlist = 1;
    ASSERT_NE(open_page(), nullptr);

    EXPECT_EQ(dialogs::get_item_count(page, playlist), 0);
    EXPECT_EQ(dialogs::get_selection(page, playlist), -1);
    EXPECT_EQ(text(playlist), "");
}

TEST_F(preferences_page_test, StoredPlaylistIndexOutOfRangeLeavesNoSelection) {
    playlists.names = {"Default", "Jazz"};
    player.add_service(corvina::class_guids::playlist_service, playlists);
    cfg_use_specific_playlist = 1;
    for (const int stored : {2, 7, -1}) {
        cfg_specific_playlist = stored;
        ASSERT_NE(open_page(), nullptr);
        EXPECT_EQ(dialogs::get_selection(page, playlist), -1) << stored;
        EXPECT_EQ(cfg_specific_playlist, stored) << "the setting is kept as it was";
        dialogs::destroy_dialog(page);
        page = nullptr;
    }
}

TEST_F(preferences_page_test, OpensWithoutAPlaylistServiceAndSaysWhy) {
    cfg_com_port.set("COM5");
    ASSERT_NE(open_page(), nullptr);

    EXPECT_EQ(console.lines(), (strings{"ERROR : Service not found"}));
    EXPECT_EQ(dialogs::get_item_count(page, playlist), 0);
    EXPECT_EQ(text(com_port), "COM5");
    EXPECT_TRUE(dialogs::is_enabled(page, 0));
}

TEST_F(preferences_page_test, TypingThePortStoresItAtOnceAndLeavesTheLinkAlone) {
    ASSERT_NE(open_page(), nullptr);
    link.calls.clear();

    ASSERT_TRUE(dialogs::type_text(page, com_port, "com7"));

    // COM names ignore case on Windows; POSIX device paths do not.
#if defined(_WIN32)
    EXPECT_EQ(cfg_com_port.view(), "COM7");
#else
    EXPECT_EQ(cfg_com_port.view(), "com7");
    ASSERT_TRUE(dialogs::type_text(page, com_port, "/dev/rfcomm0"));
    EXPECT_EQ(cfg_com_port.view(), "/dev/rfcomm0");
#endif
    EXPECT_TRUE(link.calls.empty());
}

TEST_F(preferences_page_test, PortListNamesThePhonesAndAPickStoresThePortAlone) {
    test::sample_ports pc;
    ASSERT_NE(open_page(), nullptr);
    EXPECT_EQ(combo_items(com_port), test::sample_ports::descriptions());
    EXPECT_EQ(text(com_port), "COM4") << "a port that is not in the list is kept";
    link.calls.clear();

    ASSERT_TRUE(dialogs::choose_item(page, com_port, 0));
    EXPECT_EQ(cfg_com_port.view(), "COM5");
    EXPECT_EQ(text(com_port), "COM5");

    // A phone paired while the page is open shows up when the list is opened; what was typed
    // stays in the field.
    pc.ports.push_back(
        {"COM14", "Standard Serial over Bluetooth link (COM14)",
         "BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&2B1D9C05&0&"
         "00AABBCCDDEE_C00000000"});
    pc.paired.push_back({0x00AABBCCDDEE, "Moto G"});
    ASSERT_TRUE(dialogs::type_text(page, com_port, "COM21"));
    ASSERT_TRUE(dialogs::open_list(page, com_port));
    const strings items = combo_items(com_port);
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[2], "COM14 - Moto G, Bluetooth outgoing");
    EXPECT_EQ(text(com_port), "COM21");
    EXPECT_EQ(cfg_com_port.view(), "COM21");

    ASSERT_TRUE(dialogs::choose_item(page, com_port, 4));
    EXPECT_EQ(cfg_com_port.view(), "COM6");
    EXPECT_EQ(text(com_port), "COM6");
    EXPECT_TRUE(link.calls.empty()) << "a pick takes effect at the next connect";
}

TEST_F(preferences_page_test, ConnectReconnectsWithTheNewPort) {
    ASSERT_NE(open_page(), nullptr);
    ASSERT_TRUE(dialogs::type_text(page, com_port, "com9"));
    link.calls.clear();

    ASSERT_TRUE(dialogs::click(page, connect));

#if defined(_WIN32)
    EXPECT_EQ(link.calls, (strings{"deactivate", "activate COM9"}));
#else
    EXPECT_EQ(link.calls, (strings{"deactivate", "activate com9"}));
#endif
}

TEST_F(preferences_page_test, BrowsingAddsEachChosenFolderToTheList) {
    cfg_music_directory.set("");
    ASSERT_NE(open_page(), nullptr);
    link.calls.clear();

    dialogs::queue_folder_answer("C:\\Music");
    ASSERT_TRUE(dialogs::click(page, browse));
    EXPECT_EQ(cfg_music_directory.view(), "C:\\Music");
    EXPECT_EQ(text(music_directory), "C:\\Music");
    ASSERT_FALSE(link.calls.empty());
    EXPECT_EQ(link.calls.back(), "apply");

    dialogs::queue_folder_answer("D:\\Songs");
    ASSERT_TRUE(dialogs::click(page, browse));
    EXPECT_EQ(cfg_music_directory.view(), "C:\\Music;D:\\Songs");
    EXPECT_EQ(text(music_directory), "C:\\Music;D:\\Songs");
}

TEST_F(preferences_page_test, CancelledBrowsingChangesNothing) {
    ASSERT_NE(open_page(), nullptr);
    link.calls.clear();

    dialogs::queue_folder_answer(nullptr);
    ASSERT_TRUE(dialogs::click(page, browse));

    EXPECT_EQ(cfg_music_directory.view(), "H:\\mp3");
    EXPECT_EQ(text(music_directory), "H:\\mp3");
    EXPECT_TRUE(link.calls.empty());
}

TEST_F(preferences_page_test, EditingTheFolderOrTheFormatStoresAndApplies) {
    ASSERT_NE(open_page(), nullptr);
    link.calls.clear();

    ASSERT_TRUE(dialogs::type_text(page, music_directory, "E:\\Música"));
    EXPECT_EQ(cfg_music_directory.view(), "E:\\Música");
    EXPECT_EQ(link.calls, (strings{"apply"}));

    ASSERT_TRUE(dialogs::type_text(page, title_format, "[%artist% - ]%title%"));
    EXPECT_EQ(cfg_title_format.view(), "[%artist% - ]%title%");
    EXPECT_EQ(link.calls, (strings{"apply", "apply"}));
}

TEST_F(preferences_page_test, CheckBoxesStoreTheirState) {
    ASSERT_NE(open_page(), nullptr);
    link.calls.clear();

    ASSERT_TRUE(dialogs::click(page, auto_connect));
    EXPECT_EQ(cfg_auto_connect, 1);
    EXPECT_TRUE(link.calls.empty()) << "read only at the next start";

    ASSERT_TRUE(dialogs::click(page, next_random));
    EXPECT_EQ(cfg_shuffle_next_random, 1);
    EXPECT_EQ(link.calls, (strings{"apply"}));

    ASSERT_TRUE(dialogs::click(page, next_random));
    ASSERT_TRUE(dialogs::click(page, auto_connect));
    EXPECT_EQ(cfg_shuffle_next_random, 0);
    EXPECT_EQ(cfg_auto_connect, 0);
}

TEST_F(preferences_page_test, UncheckingSpecificPlaylistDisablesTheDropDownAndKeepsTheChoice) {
    playlists.names = {"Default", "Road trip", "Jazz"};
    player.add_service(corvina::class_guids::playlist_service, playlists);
    cfg_use_specific_playlist = 1;
    cfg_specific_playlist = 2;
    ASSERT_NE(open_page(), nullptr);
    link.calls.clear();

    ASSERT_TRUE(dialogs::click(page, use_playlist));

    EXPECT_EQ(cfg_use_specific_playlist, 0);
    EXPECT_FALSE(dialogs::is_enabled(page, playlist));
    EXPECT_EQ(cfg_specific_playlist, 2);
    EXPECT_EQ(link.calls, (strings{"apply"}));

    ASSERT_TRUE(dialogs::click(page, use_playlist));
    EXPECT_EQ(cfg_use_specific_playlist, 1);
    EXPECT_TRUE(dialogs::is_enabled(page, playlist));
}

TEST_F(preferences_page_test, ChoosingAPlaylistStoresItsIndex) {
    playlists.names = {"Default", "Road trip", "Jazz"};
    player.add_service(corvina::class_guids::playlist_service, playlists);
    cfg_use_specific_playlist = 1;
    ASSERT_NE(open_page(), nullptr);
    link.calls.clear();

    ASSERT_TRUE(dialogs::choose_item(page, playlist, 2));

    EXPECT_EQ(cfg_specific_playlist, 2);
    EXPECT_EQ(text(playlist), "Jazz");
    EXPECT_EQ(link.calls, (strings{"apply"}));
}

TEST_F(preferences_page_test, PlaylistNameThatIsNotUtf8KeepsEveryLaterPlaylistAtItsIndex) {
    playlists.names = {"Default", "Caf\xE9", "Jazz"};  // the second in Latin-1
    player.add_service(corvina::class_guids::playlist_service, playlists);
    cfg_use_specific_playlist = 1;
    cfg_specific_playlist = 2;
    ASSERT_NE(open_page(), nullptr);

    const strings items = combo_items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0], "Default");
    EXPECT_EQ(items[2], "Jazz");
#if defined(_WIN32)
    EXPECT_EQ(items[1], "Caf\xEF\xBF\xBD") << "shown with a replacement character";
#endif
    EXPECT_EQ(dialogs::get_selection(page, playlist), 2);

    ASSERT_TRUE(dialogs::choose_item(page, playlist, 1));
    EXPECT_EQ(cfg_specific_playlist, 1);
    ASSERT_TRUE(dialogs::choose_item(page, playlist, 2));
    EXPECT_EQ(cfg_specific_playlist, 2);
    EXPECT_EQ(text(playlist), "Jazz");
}

TEST_F(preferences_page_test, HelpRunsThePlayersTitleFormatHelpCommand) {
    menu_provider_a.commands = {other_command};
    menu_provider_b.commands = {other_command, other_command, help_command};
    player.add_service(corvina::class_guids::menu_commands, menu_provider_a);
    player.add_service(corvina::class_guids::menu_commands, menu_provider_b);
    ASSERT_NE(open_page(), nullptr);
    link.calls.clear();

    ASSERT_TRUE(dialogs::click(page, help));

    EXPECT_TRUE(menu_provider_a.executed.empty());
    EXPECT_EQ(menu_provider_b.executed, (std::vector<std::uint32_t>{2}));
    EXPECT_TRUE(link.calls.empty());
}

TEST_F(preferences_page_test, StaticTextsAndTheGroupBoxAreNotButtons) {
    ASSERT_NE(open_page(), nullptr);
    link.calls.clear();

    EXPECT_FALSE(dialogs::click(page, -1));
    EXPECT_FALSE(dialogs::type_text(page, connect, "x"));
    EXPECT_TRUE(link.calls.empty());
}

TEST_F(preferences_page_test, CommandLineActionsActAsTheUser) {
    playlists.names = {"Default", "Jazz"};
    player.add_service(corvina::class_guids::playlist_service, playlists);
    cfg_music_directory.set("");
    ASSERT_NE(open_page(), nullptr);
    string8 error;

    EXPECT_TRUE(dialogs::perform_user_action(page, "check", "1011=1", error));
    EXPECT_TRUE(dialogs::perform_user_action(page, "check", "1011=1", error));
    EXPECT_EQ(cfg_use_specific_playlist, 1) << "checking a checked box leaves it checked";
    EXPECT_TRUE(dialogs::perform_user_action(page, "choose", "1010=1", error));
    EXPECT_EQ(cfg_specific_playlist, 1);
    EXPECT_TRUE(dialogs::perform_user_action(page, "type", "1007=%title%", error));
    EXPECT_EQ(cfg_title_format.view(), "%title%");
    EXPECT_TRUE(dialogs::perform_user_action(page, "open", "1004", error));
    EXPECT_TRUE(dialogs::perform_user_action(page, "browse", "C:\\Music", error));
    EXPECT_TRUE(dialogs::perform_user_action(page, "click", "1003", error));
    EXPECT_EQ(cfg_music_directory.view(), "C:\\Music");

    EXPECT_FALSE(dialogs::perform_user_action(page, "type", "1004", error));
    EXPECT_EQ(error, "type needs ID=VALUE, not \"1004\"");
    EXPECT_FALSE(dialogs::perform_user_action(page, "click", "4711", error));
    EXPECT_EQ(error, "the dialog has no control 4711");
    EXPECT_FALSE(dialogs::perform_user_action(page, "click", "ok", error));
    EXPECT_FALSE(dialogs::perform_user_action(page, "choose", "1010=5", error));
    EXPECT_FALSE(dialogs::perform_user_action(page, "check", "1006=2", error));
    EXPECT_FALSE(dialogs::perform_user_action(page, "press", "1005", error));
    EXPECT_EQ(error, "unknown action \"press\"");
}

}  // namespace
}  // namespace tessel::test
