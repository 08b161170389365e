// The headless dialog manager of the POSIX wrapper library: controls by id, the notifications a
// dialog procedure gets, the user's actions, and thread ownership.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "corvina/dialogs.h"
#include "corvina/posix_windows.h"
#include "support/string8.h"

namespace tessel::test {
namespace {

namespace dialogs = corvina::dialogs;
namespace v = corvina::win32_dialog_values;
using corvina::dialogs::control_class;

constexpr int name_edit = 10;
constexpr int save_button = 11;
constexpr int loud_check = 12;
constexpr int choice_combo = 13;

constexpr std::array<dialogs::control_template, 5> controls{{
    {-1, control_class::static_text, "Name:", 0, 0, 20, 8, v::ss_left | v::ws_group},
    {name_edit, control_class::edit, "", 20, 0, 40, 12, v::es_autohscroll | v::ws_tabstop},
    {save_button, control_class::button, "Save", 0, 20, 30, 14, v::ws_tabstop},
    {loud_check, control_class::button, "Loud", 0, 40, 30, 10, v::bs_autocheckbox | v::ws_tabstop},
    {choice_combo, control_class::combo_box, "", 0, 60, 50, 13,
     v::cbs_dropdown | v::ws_tabstop | v::ws_disabled},
}};
constexpr dialogs::dialog_template layout{
    1, 100, 80, "MS Shell Dlg", 8, v::ws_disabled, controls.data(), controls.size()};

// What the procedure saw: one line per message it was given.
struct seen_messages {
    std::vector<std::string> lines;
    std::vector<std::thread::id> threads;
    int check_at_click = -1;
};
seen_messages* seen = nullptr;

std::intptr_t CORVINA_CALLBACK recording_procedure(corvina::window_handle dialog,
                                                   std::uint32_t message, std::uintptr_t wparam,
                                                   std::intptr_t lparam) {
    if (seen == nullptr) {
        return 0;
    }
    seen->threads.push_back(std::this_thread::get_id());
    if (message == v::wm_initdialog) {
        seen->lines.push_back(
            "init " + std::to_string(lparam) + " first " +
            (wparam == reinterpret_cast<std::uintptr_t>(dialogs::get_dialog_item(dialog, name_edit))
                 ? "edit"
                 : "other"));
        dialogs::enable_window(dialog, true);
    } else if (message == v::wm_command) {
        const int id = v::low_word(wparam);
        seen->lines.push_back("command " + std::to_string(id) + " " +
                              std::to_string(v::high_word(wparam)));
        EXPECT_EQ(reinterpret_cast<corvina::window_handle>(lparam),
                  dialogs::get_dialog_item(dialog, id));
        if (id == loud_check) {
            seen->check_at_click = dialogs::get_check(dialog, loud_check);
        }
    } else if (message == v::wm_destroy) {
        seen->lines.emplace_back("destroy");
    }
    return 0;
}

class headless_dialog_test : public ::testing::Test {
  protected:
    headless_dialog_test() {
        seen = &messages;
        dialog = dialogs::create_dialog(layout, nullptr, recording_procedure, 42);
    }
    ~headless_dialog_test() override {
        if (dialog != nullptr) {
            dialogs::destroy_dialog(dialog);
        }
        seen = nullptr;
    }

    std::string text(int id) {
        string8 value;
        EXPECT_TRUE(dialogs::get_text(dialog, id, value));
        return std::string(value.view());
    }

    seen_messages messages;
    corvina::window_handle dialog = nullptr;
};

using lines = std::vector<std::string>;

TEST_F(headless_dialog_test, CreationRunsInitialisationWithTheParameterAndFirstTabStop) {
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(messages.lines, (lines{"init 42 first edit"}));
    EXPECT_EQ(text(-1), "Name:");
    EXPECT_EQ(text(save_button), "Save");
    EXPECT_TRUE(dialogs::is_enabled(dialog, 0));
    EXPECT_TRUE(dialogs::is_enabled(dialog, name_edit));
    EXPECT_FALSE(dialogs::is_enabled(dialog, choice_combo));
    EXPECT_EQ(dialogs::get_dialog_item(dialog, 99), nullptr);
    string8 ignored;
    EXPECT_FALSE(uGetDlgItemText(dialog, 99, ignored));
    EXPECT_FALSE(uSetDlgItemText(dialog, 99, "x"));
}

TEST_F(headless_dialog_test, ParentMustBeALiveWindow) {
    const auto not_a_window = reinterpret_cast<corvina::window_handle>(std::uintptr_t{0x7777777});
    EXPECT_EQ(dialogs::create_dialog(layout, not_a_window, recording_procedure, 0), nullptr);
    EXPECT_EQ(dialogs::create_dialog(layout, nullptr, nullptr, 0), nullptr);
}

TEST_F(headless_dialog_test, SettingAnEditsTextReportsTheChange) {
    messages.lines.clear();
    ASSERT_TRUE(uSetDlgItemText(dialog, name_edit, "Zoë"));
    ASSERT_TRUE(uSetDlgItemText(dialog, save_button, "Store"));

    EXPECT_EQ(messages.lines, (lines{"command 10 768"}));
    EXPECT_EQ(text(name_edit), "Zoë");
    EXPECT_EQ(text(save_button), "Store");

    // WM_GETTEXT copies what fits and terminates it.
    char buffer[3] = {'x', 'x', 'x'};
    const corvina::window_handle edit = dialogs::get_dialog_item(dialog, name_edit);
    EXPECT_EQ(dialogs::send_message(edit, v::wm_gettext, sizeof buffer,
                                    reinterpret_cast<std::intptr_t>(buffer)),
              2);
    EXPECT_EQ(std::string(buffer), "Zo");
    EXPECT_EQ(dialogs::send_message(edit, v::wm_gettextlength, 0, 0), 4);
}

TEST_F(headless_dialog_test, ComboKeepsItemsInOrderAndClearsABadSelection) {
    const corvina::window_handle combo = dialogs::get_dialog_item(dialog, choice_combo);
    EXPECT_EQ(uSendMessageText(combo, v::cb_addstring, 0, "one"), 0);
    EXPECT_EQ(uSendMessageText(combo, v::cb_addstring, 0, "two"), 1);
    EXPECT_EQ(dialogs::send_message(combo, v::cb_setcursel, 1, 0), 1);
    EXPECT_EQ(text(choice_combo), "two");

    EXPECT_EQ(dialogs::send_message(combo, v::cb_setcursel, 2, 0), v::cb_err);
    EXPECT_EQ(dialogs::get_selection(dialog, choice_combo), -1);
    EXPECT_EQ(text(choice_combo), "");

    char item[8] = {};
    EXPECT_EQ(dialogs::send_message(combo, v::cb_getlbtextlen, 0, 0), 3);
    EXPECT_EQ(
        dialogs::send_message(combo, v::cb_getlbtext, 0, reinterpret_cast<std::intptr_t>(item)), 3);
    EXPECT_EQ(std::string(item), "one");
    EXPECT_EQ(dialogs::send_message(combo, v::cb_getlbtext, 5, 0), v::cb_err);

    dialogs::send_message(combo, v::cb_resetcontent, 0, 0);
    EXPECT_EQ(dialogs::get_item_count(dialog, choice_combo), 0);
}

TEST_F(headless_dialog_test, UserActionsNotifyTheDialogAfterTheControlChanged) {
    messages.lines.clear();
    ASSERT_TRUE(dialogs::type_text(dialog, name_edit, "Ada"));
    ASSERT_TRUE(dialogs::click(dialog, save_button));
    ASSERT_TRUE(dialogs::click(dialog, loud_check));
    EXPECT_EQ(messages.check_at_click, 1);
    ASSERT_TRUE(dialogs::click(dialog, loud_check));
    EXPECT_EQ(messages.check_at_click, 0);

    const corvina::window_handle combo = dialogs::get_dialog_item(dialog, choice_combo);
    uSendMessageText(combo, v::cb_addstring, 0, "one");
    uSendMessageText(combo, v::cb_addstring, 0, "two");
    dialogs::enable_window(combo, true);
    ASSERT_TRUE(dialogs::choose_item(dialog, choice_combo, 1));
    EXPECT_FALSE(dialogs::choose_item(dialog, choice_combo, 2));

    EXPECT_EQ(messages.lines, (lines{"command 10 768", "command 11 0", "command 12 0",
                                     "command 12 0", "command 13 1"}));
    EXPECT_EQ(text(name_edit), "Ada");
    EXPECT_EQ(dialogs::get_selection(dialog, choice_combo), 1);
}

TEST_F(headless_dialog_test, DisabledControlsAndDisabledDialogsRefuseTheUser) {
    messages.lines.clear();
    EXPECT_FALSE(dialogs::choose_item(dialog, choice_combo, 0));
    EXPECT_FALSE(dialogs::enable_window(dialogs::get_dialog_item(dialog, name_edit), false));
    EXPECT_FALSE(dialogs::type_text(dialog, name_edit, "x"));

    EXPECT_FALSE(dialogs::enable_window(dialog, false));
    EXPECT_FALSE(dialogs::click(dialog, save_button));
    // Wrong kinds of control.
    EXPECT_TRUE(dialogs::enable_window(dialog, true));
    EXPECT_FALSE(dialogs::type_text(dialog, save_button, "x"));
    EXPECT_FALSE(dialogs::click(dialog, -1));

    EXPECT_TRUE(messages.lines.empty());
    EXPECT_EQ(text(name_edit), "");
}

TEST_F(headless_dialog_test, AnotherThreadsActionsRunOnTheOwnerThread) {
    messages.lines.clear();
    messages.threads.clear();
    std::atomic<bool> typed{false};
    std::atomic<bool> done{false};
    std::thread user([&] {
        typed = dialogs::type_text(dialog, name_edit, "from afar");
        done = true;
    });
    while (!done) {
        corvina::posix_windows::pump_wait(100);
    }
    user.join();

    EXPECT_TRUE(typed);
    EXPECT_EQ(messages.lines, (lines{"command 10 768"}));
    EXPECT_EQ(messages.threads, std::vector<std::thread::id>{std::this_thread::get_id()});
    EXPECT_EQ(text(name_edit), "from afar");
}

TEST_F(headless_dialog_test, DestroyedDialogAnswersNothing) {
    messages.lines.clear();
    const corvina::window_handle gone = dialog;
    dialogs::destroy_dialog(dialog);
    dialog = nullptr;

    EXPECT_EQ(messages.lines, (lines{"destroy"}));
    string8 value;
    EXPECT_FALSE(dialogs::get_text(gone, name_edit, value));
    EXPECT_FALSE(dialogs::type_text(gone, name_edit, "x"));
    EXPECT_FALSE(uSetDlgItemText(gone, name_edit, "x"));
    EXPECT_EQ(dialogs::get_check(gone, loud_check), -1);
    EXPECT_FALSE(dialogs::is_enabled(gone, 0));
}

TEST(folder_browser, AnswersComeFromTheQueueInOrderAndAnEmptyQueueCancels) {
    dialogs::clear_folder_answers();
    dialogs::queue_folder_answer("/music/a");
    dialogs::queue_folder_answer(nullptr);
    string8 folder("/start");

    EXPECT_EQ(uBrowseForFolder(nullptr, "Pick", folder), 1);
    EXPECT_EQ(folder, "/music/a");
    EXPECT_EQ(uBrowseForFolder(nullptr, "Pick", folder), 0);
    EXPECT_EQ(uBrowseForFolder(nullptr, "Pick", folder), 0);
    EXPECT_EQ(folder, "/music/a");
}

}  // namespace
}  // namespace tessel::test
