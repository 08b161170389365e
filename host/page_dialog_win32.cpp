#include <windows.h>

#include "corvina/shared.h"
#include "host/page_dialog.h"
#include "host/preferences_layout.h"
#include "host/preferences_page.h"
#include "support/host_access.h"

namespace tessel::page_dialog {

namespace {

HWND as_window(corvina::window_handle window) {
    return static_cast<HWND>(window);
}

INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    return preferences_page_procedure(dialog, message, wparam, lparam);
}

LRESULT send(corvina::window_handle dialog, int id, UINT message, WPARAM wparam) {
    return SendDlgItemMessageW(as_window(dialog), id, message, wparam, 0);
}

}  // namespace

corvina::window_handle create(corvina::window_handle parent) {
    return CreateDialogParamW(static_cast<HINSTANCE>(host().instance),
                              MAKEINTRESOURCEW(preferences_layout::dialog_id), as_window(parent),
                              procedure, 0);
}

void set_check(corvina::window_handle dialog, int id, int state) {
    send(dialog, id, BM_SETCHECK, static_cast<WPARAM>(state));
}

int get_check(corvina::window_handle dialog, int id) {
    return static_cast<int>(send(dialog, id, BM_GETCHECK, 0));
}

void reset_combo(corvina::window_handle dialog, int id) {
    send(dialog, id, CB_RESETCONTENT, 0);
}

void add_combo_item(corvina::window_handle dialog, int id, const char* text) {
    uSendMessageText(GetDlgItem(as_window(dialog), id), CB_ADDSTRING, 0, text);
}

void select_combo_item(corvina::window_handle dialog, int id, int index) {
    send(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(static_cast<INT_PTR>(index)));
}

int combo_selection(corvina::window_handle dialog, int id) {
    return static_cast<int>(send(dialog, id, CB_GETCURSEL, 0));
}

void enable_control(corvina::window_handle dialog, int id, bool enable) {
    EnableWindow(GetDlgItem(as_window(dialog), id), enable ? TRUE : FALSE);
}

void enable_page(corvina::window_handle dialog) {
    EnableWindow(as_window(dialog), TRUE);
}

}  // namespace tessel::page_dialog
