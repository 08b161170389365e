// The dialog text wrappers, the folder browser and the user's actions over the headless dialog
// manager. Texts stay UTF-8 all the way: there is no wide form to convert to.

#include <string>

#include "corvina/dialogs.h"
#include "corvina/shared.h"
#include "standin/shared/dialog_messages_posix.h"
#include "standin/shared/folder_answers.h"

namespace dialogs = corvina::dialogs;
namespace messages = corvina::dialogs::private_messages;
namespace v = corvina::win32_dialog_values;

bool uGetDlgItemText(corvina::window_handle dialog, int id, corvina::string_base& out) {
    const corvina::window_handle control = dialogs::get_dialog_item(dialog, id);
    return control != nullptr && dialogs::send_message(control, messages::get_text, 0,
                                                       reinterpret_cast<std::intptr_t>(&out)) != 0;
}

bool uSetDlgItemText(corvina::window_handle dialog, int id, const char* text) {
    const corvina::window_handle control = dialogs::get_dialog_item(dialog, id);
    return control != nullptr && dialogs::send_message(control, v::wm_settext, 0,
                                                       reinterpret_cast<std::intptr_t>(text)) != 0;
}

std::intptr_t uSendMessageText(corvina::window_handle window, std::uint32_t message,
                               std::uintptr_t wparam, const char* text) {
    return dialogs::send_message(window, message, wparam, reinterpret_cast<std::intptr_t>(text));
}

// Without a screen the user's answers come from the queue; none queued means cancelled.
int uBrowseForFolder(corvina::window_handle /*parent*/, const char* /*title*/,
                     corvina::string_base& in_out) {
    const auto answer = dialogs::take_folder_answer();
    if (!answer || !*answer) {
        return 0;
    }
    in_out.set_string((*answer)->c_str(), (*answer)->size());
    return 1;
}

namespace corvina::dialogs {

namespace {

std::intptr_t send_to_item(window_handle dialog, int id, std::uint32_t message,
                           std::uintptr_t wparam, std::intptr_t lparam) {
    const window_handle control = get_dialog_item(dialog, id);
    return control != nullptr ? send_message(control, message, wparam, lparam) : 0;
}

bool has_item(window_handle dialog, int id) {
    return get_dialog_item(dialog, id) != nullptr;
}

}  // namespace

bool type_text(window_handle dialog, int id, const char* text) {
    return send_to_item(dialog, id, messages::user_type, 0,
                        reinterpret_cast<std::intptr_t>(text != nullptr ? text : "")) != 0;
}

bool click(window_handle dialog, int id) {
    return send_to_item(dialog, id, messages::user_click, 0, 0) != 0;
}

bool choose_item(window_handle dialog, int id, int index) {
    if (index < 0) {
        return false;
    }
    return send_to_item(dialog, id, messages::user_choose, static_cast<std::uintptr_t>(index), 0) !=
           0;
}

bool open_list(window_handle dialog, int id) {
    return send_to_item(dialog, id, messages::user_open, 0, 0) != 0;
}

bool get_text(window_handle dialog, int id, string_base& out) {
    return send_to_item(dialog, id, messages::get_text, 0, reinterpret_cast<std::intptr_t>(&out)) !=
           0;
}

int get_check(window_handle dialog, int id) {
    if (!has_item(dialog, id)) {
        return -1;
    }
    return static_cast<int>(send_to_item(dialog, id, v::bm_getcheck, 0, 0));
}

bool is_enabled(window_handle dialog, int id) {
    if (id == 0) {
        return send_message(dialog, messages::get_enabled, 0, 0) != 0;
    }
    return send_to_item(dialog, id, messages::get_enabled, 0, 0) != 0;
}

int get_item_count(window_handle dialog, int id) {
    if (!has_item(dialog, id)) {
        return -1;
    }
    return static_cast<int>(send_to_item(dialog, id, v::cb_getcount, 0, 0));
}

bool get_item_text(window_handle dialog, int id, int index, string_base& out) {
    if (index < 0) {
        return false;
    }
    return send_to_item(dialog, id, messages::get_item_text, static_cast<std::uintptr_t>(index),
                        reinterpret_cast<std::intptr_t>(&out)) != 0;
}

int get_selection(window_handle dialog, int id) {
    if (!has_item(dialog, id)) {
        return -1;
    }
    return static_cast<int>(send_to_item(dialog, id, v::cb_getcursel, 0, 0));
}

}  // namespace corvina::dialogs
