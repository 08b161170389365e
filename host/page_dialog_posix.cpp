#include "corvina/dialogs.h"
#include "corvina/shared.h"
#include "host/page_dialog.h"
#include "host/preferences_layout.h"
#include "host/preferences_page.h"

namespace tessel::page_dialog {

namespace {

namespace dialogs = corvina::dialogs;
namespace v = corvina::win32_dialog_values;

std::intptr_t send(corvina::window_handle dialog, int id, std::uint32_t message,
                   std::uintptr_t wparam) {
    return dialogs::send_message(dialogs::get_dialog_item(dialog, id), message, wparam, 0);
}

}  // namespace

corvina::window_handle create(corvina::window_handle parent) {
    return dialogs::create_dialog(preferences_layout::dialog, parent, preferences_page_procedure,
                                  0);
}

void set_check(corvina::window_handle dialog, int id, int state) {
    send(dialog, id, v::bm_setcheck, static_cast<std::uintptr_t>(state));
}

int get_check(corvina::window_handle dialog, int id) {
    return static_cast<int>(send(dialog, id, v::bm_getcheck, 0));
}

void reset_combo(corvina::window_handle dialog, int id) {
    send(dialog, id, v::cb_resetcontent, 0);
}

void add_combo_item(corvina::window_handle dialog, int id, const char* text) {
    uSendMessageText(dialogs::get_dialog_item(dialog, id), v::cb_addstring, 0, text);
}

void select_combo_item(corvina::window_handle dialog, int id, int index) {
    send(dialog, id, v::cb_setcursel,
         static_cast<std::uintptr_t>(static_cast<std::intptr_t>(index)));
}

int combo_selection(corvina::window_handle dialog, int id) {
    return static_cast<int>(send(dialog, id, v::cb_getcursel, 0));
}

void fit_list_width(corvina::window_handle /*dialog*/, int /*id*/) {}

void run_after_notification(corvina::window_handle dialog, std::uint32_t message) {
    dialogs::send_message(dialog, message, 0, 0);
}

void enable_control(corvina::window_handle dialog, int id, bool enable) {
    dialogs::enable_window(dialogs::get_dialog_item(dialog, id), enable);
}

void enable_page(corvina::window_handle dialog) {
    dialogs::enable_window(dialog, true);
}

}  // namespace tessel::page_dialog
