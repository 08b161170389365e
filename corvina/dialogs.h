#pragma once
// Dialogs of the player's wrapper library.
//
// A dialog layout is described once, as a dialog_template, in a header both platforms can read.
// On Windows the same layout is compiled from a resource script and the real dialog manager
// runs it; on POSIX create_dialog builds a headless dialog from the template: each control has
// its id, text, check state, enabled flag and, for a combo box, its items and selection. The
// dialog belongs to the thread that created it; every call from another thread is carried out
// on that thread, through the stand-in window system.
//
// The user's actions (type into an edit, click a button, choose a combo item) and the
// inspection of a dialog's controls work on both platforms, so that the same tests and the
// stand-in player's command line drive the headless dialog and the real one alike.

#include <cstddef>
#include <cstdint>

#include "corvina/platform_types.h"
#include "corvina/shared.h"
#include "corvina/string_receiver.h"

#if defined(_WIN32)
#define CORVINA_CALLBACK __stdcall
#else
#define CORVINA_CALLBACK
#endif

namespace corvina {

// A dialog procedure, shaped as the Win32 one: true when it handled the message.
using dialog_procedure = std::intptr_t(CORVINA_CALLBACK*)(window_handle dialog,
                                                          std::uint32_t message,
                                                          std::uintptr_t wparam,
                                                          std::intptr_t lparam);

// Values of the Windows window, dialog and control constants, usable on every platform.
namespace win32_dialog_values {
// Messages.
inline constexpr std::uint32_t wm_destroy = 0x0002;
inline constexpr std::uint32_t wm_settext = 0x000C;
inline constexpr std::uint32_t wm_gettext = 0x000D;
inline constexpr std::uint32_t wm_gettextlength = 0x000E;
inline constexpr std::uint32_t wm_initdialog = 0x0110;
inline constexpr std::uint32_t wm_command = 0x0111;
inline constexpr std::uint32_t bm_getcheck = 0x00F0;
inline constexpr std::uint32_t bm_setcheck = 0x00F1;
inline constexpr std::uint32_t cb_addstring = 0x0143;
inline constexpr std::uint32_t cb_getcount = 0x0146;
inline constexpr std::uint32_t cb_getcursel = 0x0147;
inline constexpr std::uint32_t cb_getlbtext = 0x0148;
inline constexpr std::uint32_t cb_getlbtextlen = 0x0149;
inline constexpr std::uint32_t cb_resetcontent = 0x014B;
inline constexpr std::uint32_t cb_setcursel = 0x014E;
inline constexpr std::uint32_t cb_setdroppedwidth = 0x0160;
inline constexpr std::intptr_t cb_err = -1;

// Notification codes carried in the high word of WM_COMMAND's wparam.
inline constexpr std::uint16_t bn_clicked = 0;
inline constexpr std::uint16_t cbn_selchange = 1;
inline constexpr std::uint16_t cbn_editchange = 5;
inline constexpr std::uint16_t cbn_dropdown = 7;
inline constexpr std::uint16_t cbn_closeup = 8;
inline constexpr std::uint16_t en_change = 0x0300;

// Window styles.
inline constexpr std::uint32_t ws_child = 0x40000000;
inline constexpr std::uint32_t ws_visible = 0x10000000;
inline constexpr std::uint32_t ws_disabled = 0x08000000;
inline constexpr std::uint32_t ws_border = 0x00800000;
inline constexpr std::uint32_t ws_vscroll = 0x00200000;
inline constexpr std::uint32_t ws_group = 0x00020000;
inline constexpr std::uint32_t ws_tabstop = 0x00010000;
// Dialog styles.
inline constexpr std::uint32_t ds_fixedsys = 0x0008;
inline constexpr std::uint32_t ds_setfont = 0x0040;
inline constexpr std::uint32_t ds_control = 0x0400;
// Control styles.
inline constexpr std::uint32_t bs_pushbutton = 0x0000;
inline constexpr std::uint32_t bs_autocheckbox = 0x0003;
inline constexpr std::uint32_t bs_groupbox = 0x0007;
inline constexpr std::uint32_t bs_type_mask = 0x000F;
inline constexpr std::uint32_t ss_left = 0x0000;
inline constexpr std::uint32_t es_autohscroll = 0x0080;
inline constexpr std::uint32_t cbs_dropdown = 0x0002;
inline constexpr std::uint32_t cbs_type_mask = 0x0003;
inline constexpr std::uint32_t cbs_autohscroll = 0x0040;

inline constexpr std::uintptr_t make_wparam(std::uint16_t low, std::uint16_t high) {
    return static_cast<std::uintptr_t>(low) | (static_cast<std::uintptr_t>(high) << 16);
}
inline constexpr std::uint16_t low_word(std::uintptr_t value) {
    return static_cast<std::uint16_t>(value & 0xFFFF);
}
inline constexpr std::uint16_t high_word(std::uintptr_t value) {
    return static_cast<std::uint16_t>((value >> 16) & 0xFFFF);
}
}  // namespace win32_dialog_values

namespace dialogs {

// The control classes a dialog template can hold, by their Windows class names.
enum class control_class { button, edit, static_text, combo_box };

inline constexpr const char* control_class_name(control_class kind) {
    switch (kind) {
        case control_class::button:
            return "Button";
        case control_class::edit:
            return "Edit";
        case control_class::static_text:
            return "Static";
        case control_class::combo_box:
            return "ComboBox";
    }
    return "";
}

// One control: positions and sizes in dialog units; style holds the Windows style bits
// besides WS_CHILD and WS_VISIBLE, which every dialog control has.
struct control_template {
    int id;  // -1 for controls the program never addresses
    control_class kind;
    const char* text;
    int x;
    int y;
    int width;
    int height;
    std::uint32_t style;
};

struct dialog_template {
    int resource_id;
    int width;
    int height;
    const char* font_name;
    int font_points;
    std::uint32_t style;
    const control_template* controls;
    std::size_t control_count;
};

// --- The user's actions ----------------------------------------------------------------------
// Each answers false, changing nothing, when the dialog or the control does not exist, when the
// control is of the wrong kind, or when the control or the dialog is disabled (a user cannot
// act on a disabled control).

// Replaces an edit's text, as typing does; the dialog is told with EN_CHANGE. In the field of an
// editable drop-down (CBS_DROPDOWN) the dialog is told with CBN_EDITCHANGE.
CORVINA_SHARED_API bool type_text(window_handle dialog, int id, const char* text);
// Clicks a push button or check box: a check box toggles first, then the dialog is told with
// BN_CLICKED.
CORVINA_SHARED_API bool click(window_handle dialog, int id);
// Chooses item index of a combo box's list; the dialog is told with CBN_SELCHANGE. What the
// dialog posts itself meanwhile runs before this returns, as the message loop would run it.
CORVINA_SHARED_API bool choose_item(window_handle dialog, int id, int index);
// Opens a combo box's list; the dialog is told with CBN_DROPDOWN first.
CORVINA_SHARED_API bool open_list(window_handle dialog, int id);

// One action as a command line gives it, for the stand-in player's options:
//   "type"   "ID=TEXT"   type_text
//   "click"  "ID"        click
//   "check"  "ID=0|1"    clicks a check box unless it already has that state
//   "choose" "ID=INDEX"  choose_item
//   "open"   "ID"        open_list
//   "browse" "FOLDER"    queues the next folder browser's answer; "browse-cancel" queues a
//                        cancel (both need no dialog)
// False with a message in error when the action is malformed or the dialog refuses it.
CORVINA_SHARED_API bool perform_user_action(window_handle dialog, const char* action,
                                            const char* argument, string_base& error);

// The answers the next folder browsing dialogs give, in order. A null folder answers
// "cancelled". On POSIX, browsing with no answer queued is cancelled; on Windows it shows the
// real folder browser.
CORVINA_SHARED_API void queue_folder_answer(const char* folder);
CORVINA_SHARED_API void clear_folder_answers();

// --- Looking at a dialog ---------------------------------------------------------------------

// The control's text; false when there is no such control.
CORVINA_SHARED_API bool get_text(window_handle dialog, int id, string_base& out);
// The check state of a button: 0 unchecked, 1 checked; -1 when there is no such control.
CORVINA_SHARED_API int get_check(window_handle dialog, int id);
// Whether the control (id) or, for id 0, the dialog itself accepts the user's input.
CORVINA_SHARED_API bool is_enabled(window_handle dialog, int id);
// A combo box's items and selection (-1: none); -1 count when there is no such control.
CORVINA_SHARED_API int get_item_count(window_handle dialog, int id);
CORVINA_SHARED_API bool get_item_text(window_handle dialog, int id, int index, string_base& out);
CORVINA_SHARED_API int get_selection(window_handle dialog, int id);

// Destroys a dialog made by create_dialog (POSIX) or CreateDialogParam (Windows).
CORVINA_SHARED_API void destroy_dialog(window_handle dialog);

#if !defined(_WIN32)
// --- The headless dialog manager (POSIX) ----------------------------------------------------

// As CreateDialogParam: builds the dialog from its template, owned by the calling thread, and
// runs procedure with WM_INITDIALOG (lparam = param) before returning its handle. Null when
// the template cannot be built.
CORVINA_SHARED_API window_handle create_dialog(const dialog_template& layout, window_handle parent,
                                               dialog_procedure procedure, std::intptr_t param);
// As GetDlgItem: the control's handle, null when there is none.
CORVINA_SHARED_API window_handle get_dialog_item(window_handle dialog, int id);
// As SendMessage to a dialog or one of its controls; texts are UTF-8. 0 for an unknown window.
CORVINA_SHARED_API std::intptr_t send_message(window_handle window, std::uint32_t message,
                                              std::uintptr_t wparam, std::intptr_t lparam);
// As EnableWindow: true when the window was disabled before.
CORVINA_SHARED_API bool enable_window(window_handle window, bool enable);
#endif

}  // namespace dialogs
}  // namespace corvina
