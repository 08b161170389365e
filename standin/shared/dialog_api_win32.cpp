// The dialog text wrappers and the folder browser over the Win32 dialog manager, and the user's
// actions on a real dialog. A send to a window of another thread runs on that thread, as
// SendMessageW does.

#include <windows.h>
//
#include <shlobj.h>

#include <string>

#include "corvina/dialogs.h"
#include "corvina/shared.h"
#include "standin/shared/folder_answers.h"
#include "standin/shared/wide_text_win32.h"

namespace {

namespace v = corvina::win32_dialog_values;

HWND as_window(corvina::window_handle window) {
    return static_cast<HWND>(window);
}

// Starts the folder browser on the folder it was handed, when that folder exists.
int CALLBACK browse_started(HWND browser, UINT message, LPARAM /*lparam*/, LPARAM data) {
    if (message == BFFM_INITIALIZED && data != 0) {
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
    }
    return 0;
}

// The shell's folder browser, owned by parent.
int browse_with_shell(HWND parent, const char* title, corvina::string_base& in_out) {
    const std::wstring wide_title = corvina::wide_text::display_from_utf8(title);
    // A start folder that is not UTF-8 names no folder: the browser starts where it likes.
    std::wstring start;
    corvina::wide_text::from_utf8(in_out.get_ptr(), start);
    // The browser's new style needs COM on this thread; it may be up already.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t display_name[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = parent;
    info.pszDisplayName = display_name;
    info.lpszTitle = wide_title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = browse_started;
    info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    int result = 0;
    if (chosen != nullptr) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(chosen, path)) {
            corvina::wide_text::to_utf8(path, wcslen(path), in_out);
            result = 1;
        }
        CoTaskMemFree(chosen);
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return result;
}

bool has_class(HWND window, const wchar_t* name) {
    wchar_t actual[32] = {};
    return GetClassNameW(window, actual, 32) > 0 && lstrcmpiW(actual, name) == 0;
}

// The control, when the user could act on it now.
HWND usable_control(corvina::window_handle dialog, int id, const wchar_t* class_name) {
    const HWND control = GetDlgItem(as_window(dialog), id);
    if (control == nullptr || !has_class(control, class_name) || !IsWindowEnabled(control) ||
        !IsWindowEnabled(as_window(dialog))) {
        return nullptr;
    }
    return control;
}

void notify(corvina::window_handle dialog, int id, HWND control, std::uint16_t code) {
    SendMessageW(as_window(dialog), WM_COMMAND,
                 v::make_wparam(static_cast<std::uint16_t>(id), code),
                 reinterpret_cast<LPARAM>(control));
}

}  // namespace

bool uGetDlgItemText(corvina::window_handle dialog, int id, corvina::string_base& out) {
    const HWND control = GetDlgItem(as_window(dialog), id);
    if (control == nullptr) {
        return false;
    }
    corvina::wide_text::window_text(control, out);
    return true;
}

bool uSetDlgItemText(corvina::window_handle dialog, int id, const char* text) {
    const std::wstring wide = corvina::wide_text::display_from_utf8(text);
    return SetDlgItemTextW(as_window(dialog), id, wide.c_str()) != FALSE;
}

// The text is shown (an item, a caption) or compared with shown text, so it is never refused:
// a refused combo item would shift every later item's index.
std::intptr_t uSendMessageText(corvina::window_handle window, std::uint32_t message,
                               std::uintptr_t wparam, const char* text) {
    const std::wstring wide = corvina::wide_text::display_from_utf8(text);
    return SendMessageW(as_window(window), message, wparam, reinterpret_cast<LPARAM>(wide.c_str()));
}

// Queued answers come first, so that tests and scripted runs need no user at the screen.
int uBrowseForFolder(corvina::window_handle parent, const char* title,
                     corvina::string_base& in_out) {
    if (const auto answer = corvina::dialogs::take_folder_answer()) {
        if (!*answer) {
            return 0;
        }
        in_out.set_string((*answer)->c_str(), (*answer)->size());
        return 1;
    }
    return browse_with_shell(as_window(parent), title, in_out);
}

namespace corvina::dialogs {

bool type_text(window_handle dialog, int id, const char* text) {
    const std::wstring wide = wide_text::display_from_utf8(text);
    if (const HWND edit = usable_control(dialog, id, L"Edit")) {
        // The edit tells its dialog with EN_CHANGE itself.
        return SetWindowTextW(edit, wide.c_str()) != FALSE;
    }
    const HWND combo = usable_control(dialog, id, L"ComboBox");
    if (combo == nullptr || (static_cast<std::uint32_t>(GetWindowLongW(combo, GWL_STYLE)) &
                             v::cbs_type_mask) != v::cbs_dropdown) {
        return false;
    }
    // A combo box tells its dialog of typing only, not of a text set by a program.
    if (SetWindowTextW(combo, wide.c_str()) == FALSE) {
        return false;
    }
    notify(dialog, id, combo, v::cbn_editchange);
    return true;
}

bool click(window_handle dialog, int id) {
    const HWND button = usable_control(dialog, id, L"Button");
    if (button == nullptr) {
        return false;
    }
    const auto type =
        static_cast<std::uint32_t>(GetWindowLongW(button, GWL_STYLE)) & v::bs_type_mask;
    if (type == v::bs_autocheckbox) {
        const bool checked = SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
        SendMessageW(button, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
    } else if (type != v::bs_pushbutton && type != BS_DEFPUSHBUTTON) {
        return false;
    }
    notify(dialog, id, button, v::bn_clicked);
    return true;
}

bool choose_item(window_handle dialog, int id, int index) {
    const HWND combo = usable_control(dialog, id, L"ComboBox");
    if (combo == nullptr || index < 0 || index >= SendMessageW(combo, CB_GETCOUNT, 0, 0)) {
        return false;
    }
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    notify(dialog, id, combo, v::cbn_selchange);
    MSG message;
    while (PeekMessageW(&message, as_window(dialog), 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
    return true;
}

bool open_list(window_handle dialog, int id) {
    const HWND combo = usable_control(dialog, id, L"ComboBox");
    if (combo == nullptr) {
        return false;
    }
    // The notification a click on the arrow sends before the list shows.
    notify(dialog, id, combo, v::cbn_dropdown);
    return true;
}

bool get_text(window_handle dialog, int id, string_base& out) {
    return uGetDlgItemText(dialog, id, out);
}

int get_check(window_handle dialog, int id) {
    const HWND control = GetDlgItem(as_window(dialog), id);
    return control == nullptr ? -1 : static_cast<int>(SendMessageW(control, BM_GETCHECK, 0, 0));
}

bool is_enabled(window_handle dialog, int id) {
    const HWND window = id == 0 ? as_window(dialog) : GetDlgItem(as_window(dialog), id);
    return window != nullptr && IsWindowEnabled(window) != FALSE;
}

int get_item_count(window_handle dialog, int id) {
    const HWND control = GetDlgItem(as_window(dialog), id);
    return control == nullptr ? -1 : static_cast<int>(SendMessageW(control, CB_GETCOUNT, 0, 0));
}

bool get_item_text(window_handle dialog, int id, int index, string_base& out) {
    const HWND control = GetDlgItem(as_window(dialog), id);
    if (control == nullptr || index < 0) {
        return false;
    }
    const LRESULT length = SendMessageW(control, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) {
        return false;
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(control, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(text.data()));
    if (copied == CB_ERR) {
        return false;
    }
    wide_text::to_utf8(text.data(), static_cast<std::size_t>(copied), out);
    return true;
}

int get_selection(window_handle dialog, int id) {
    const HWND control = GetDlgItem(as_window(dialog), id);
    return control == nullptr ? -1 : static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
}

void destroy_dialog(window_handle dialog) {
    DestroyWindow(as_window(dialog));
}

}  // namespace corvina::dialogs
