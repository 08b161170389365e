#pragma once
// The layout of the preferences page, dialog 106: the one description of its controls. The
// resource script host/preferences.rc holds the same layout for the Windows dialog manager (a
// test compares the two); the POSIX build hands this table to the headless dialog manager.

#include <array>

#include "corvina/dialogs.h"

namespace tessel::preferences_layout {

inline constexpr int dialog_id = 106;

// Control ids.
inline constexpr int music_directory_edit = 1002;
inline constexpr int browse_button = 1003;
inline constexpr int com_port_combo = 1004;
inline constexpr int connect_button = 1005;
inline constexpr int auto_connect_check = 1006;
inline constexpr int title_format_edit = 1007;
inline constexpr int help_button = 1008;
inline constexpr int shuffle_next_random_check = 1009;
inline constexpr int playlist_combo = 1010;
inline constexpr int use_specific_playlist_check = 1011;

namespace detail {
namespace v = corvina::win32_dialog_values;
using corvina::dialogs::control_class;
using corvina::dialogs::control_template;

inline constexpr std::uint32_t edit_style = v::es_autohscroll | v::ws_border | v::ws_tabstop;
inline constexpr std::uint32_t button_style = v::bs_pushbutton | v::ws_tabstop;
inline constexpr std::uint32_t check_style = v::bs_autocheckbox | v::ws_tabstop;
inline constexpr std::uint32_t label_style = v::ss_left | v::ws_group;
}  // namespace detail

// In tab order.
inline constexpr std::array<detail::control_template, 14> controls{{
    {-1, detail::control_class::button, "Communication settings", 15, 17, 193, 42,
     detail::v::bs_groupbox},
    {-1, detail::control_class::static_text, "Bluetooth COM port:", 21, 29, 68, 9,
     detail::label_style},
    // An editable drop-down: the field where the port was typed, over the list of ports found.
    {com_port_combo, detail::control_class::combo_box, "", 89, 27, 53, 100,
     detail::v::cbs_dropdown | detail::v::cbs_autohscroll | detail::v::ws_vscroll |
         detail::v::ws_tabstop},
    {connect_button, detail::control_class::button, "Connect", 147, 27, 50, 14,
     detail::button_style},
    {auto_connect_check, detail::control_class::button, "Automatically connect on startup", 19, 45,
     120, 9, detail::check_style},
    {-1, detail::control_class::static_text, "Directory to search for music files:", 17, 68, 110, 8,
     detail::label_style},
    {music_directory_edit, detail::control_class::edit, "", 15, 79, 171, 13, detail::edit_style},
    {browse_button, detail::control_class::button, "...", 189, 79, 23, 13, detail::button_style},
    {-1, detail::control_class::static_text, "Playlist title format (for the client):", 17, 98, 111,
     8, detail::label_style},
    {title_format_edit, detail::control_class::edit, "", 15, 108, 171, 13, detail::edit_style},
    {help_button, detail::control_class::button, "Help", 189, 108, 24, 13, detail::button_style},
    {shuffle_next_random_check, detail::control_class::button,
     "Next on client jumps to random file in Shuffle mode", 15, 132, 192, 9, detail::check_style},
    {use_specific_playlist_check, detail::control_class::button, "Always use specific playlist", 16,
     147, 101, 10, detail::check_style},
    // A drop-down's height is its edit field's and its list's together.
    {playlist_combo, detail::control_class::combo_box, "", 117, 145, 96, 80,
     detail::v::cbs_dropdown | detail::v::ws_vscroll | detail::v::ws_tabstop},
}};

// A child page that starts disabled; the page procedure enables it once it is filled in. A
// control parent, so that Tab and access keys of the player's preferences reach its controls.
inline constexpr corvina::dialogs::dialog_template dialog{
    dialog_id,
    287,
    185,
    "MS Shell Dlg",
    8,
    detail::v::ds_setfont | detail::v::ds_fixedsys | detail::v::ds_control | detail::v::ws_child |
        detail::v::ws_disabled,
    controls.data(),
    controls.size()};

}  // namespace tessel::preferences_layout
