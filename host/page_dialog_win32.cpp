#include <windows.h>

#include <algorithm>
#include <string>

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

void fit_list_width(corvina::window_handle dialog, int id) {
    const HWND combo = GetDlgItem(as_window(dialog), id);
    const HDC context = GetDC(combo);
    if (context == nullptr) {
        return;
    }
    const HGDIOBJ previous =
        SelectObject(context, reinterpret_cast<HGDIOBJ>(SendMessageW(combo, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index) {
        const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length <= 0) {
            continue;
        }
        std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(item.data()));
        SIZE extent{};
        if (GetTextExtentPoint32W(context, item.c_str(), static_cast<int>(length), &extent)) {
            widest = std::max(widest, extent.cx);
        }
    }
    SelectObject(context, previous);
    ReleaseDC(combo, context);
    RECT field{};
    GetWindowRect(combo, &field);
    // Room for the list's border, its scroll bar and the items' margins.
    const LONG needed =
        widest + 2 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL) + 8;
    send(dialog, id, CB_SETDROPPEDWIDTH,
         static_cast<WPARAM>(std::max<LONG>(needed, field.right - field.left)));
}

void run_after_notification(corvina::window_handle dialog, std::uint32_t message) {
    PostMessageW(as_window(dialog), message, 0, 0);
}

void enable_control(corvina::window_handle dialog, int id, bool enable) {
    EnableWindow(GetDlgItem(as_window(dialog), id), enable ? TRUE : FALSE);
}

void enable_page(corvina::window_handle dialog) {
    EnableWindow(as_window(dialog), TRUE);
}

}  // namespace tessel::page_dialog
