#pragma once
// The platform half of the preferences page: making dialog 106 and the control messages the
// page procedure sends, over the Win32 dialog manager or the stand-in's headless one. Control
// texts go through the wrapper library's uSetDlgItemText / uGetDlgItemText on both.

#include <cstdint>

#include "corvina/platform_types.h"

namespace tessel::page_dialog {

// COM port names ignore case on Windows, so the page stores them upper-cased there; POSIX
// device paths do not, so they are stored as typed.
#if defined(_WIN32)
inline constexpr bool port_names_ignore_case = true;
#else
inline constexpr bool port_names_ignore_case = false;
#endif

// Creates the page from dialog 106 of the component's module, as a child of parent, with the
// page procedure and creation parameter 0. Null when it could not be created.
corvina::window_handle create(corvina::window_handle parent);

void set_check(corvina::window_handle dialog, int id, int state);
int get_check(corvina::window_handle dialog, int id);

void reset_combo(corvina::window_handle dialog, int id);
void add_combo_item(corvina::window_handle dialog, int id, const char* text);
void select_combo_item(corvina::window_handle dialog, int id, int index);  // -1: none
int combo_selection(corvina::window_handle dialog, int id);                // -1: none

// Makes a drop-down's list wide enough for its longest item (Windows; the headless list has no
// width).
void fit_list_width(corvina::window_handle dialog, int id);

// Has the page procedure get message once the control that is notifying now has finished its
// own work: Windows posts it (a combo box writes the chosen item into its field only after
// CBN_SELCHANGE); the headless controls finish before they notify, so it is sent at once.
void run_after_notification(corvina::window_handle dialog, std::uint32_t message);

void enable_control(corvina::window_handle dialog, int id, bool enable);
void enable_page(corvina::window_handle dialog);

}  // namespace tessel::page_dialog
