#include "host/preferences_page.h"

#include <exception>
#include <string>
#include <string_view>

#include "corvina/class_guids.h"
#include "corvina/services.h"
#include "corvina/shared.h"
#include "host/host_services.h"
#include "host/page_dialog.h"
#include "host/preferences_actions.h"
#include "host/preferences_layout.h"
#include "host/settings.h"
#include "support/boundary.h"
#include "support/host_access.h"
#include "support/log.h"
#include "support/string8.h"
#include "transport/serial_port_list.h"

namespace tessel {

namespace {

namespace layout = preferences_layout;
namespace v = corvina::win32_dialog_values;

// The player's menu command that opens the title-formatting help.
constexpr corvina::guid title_format_help{
    0x91E349DA, 0x8800, 0x42E5, {0xBC, 0x8C, 0xF3, 0xA9, 0x25, 0x77, 0xAE, 0x84}};

constexpr const char* browse_title = "Select music directory";

// Throws bad_alloc when the text could not be taken whole: no setting takes a cut one.
string8 control_text(corvina::window_handle dialog, int id) {
    string8 text;
    uGetDlgItemText(dialog, id, text);
    throw_if_incomplete(text);
    return text;
}

// Tells the page a port was picked from the list, once the pick is in the field.
constexpr std::uint32_t port_picked = 0x8000 + 1;  // WM_APP + 1

void store_port_name(const char* name) {
    if (page_dialog::port_names_ignore_case) {
        cfg_com_port.reset();
        uAddStringUpper(cfg_com_port, name);
    } else {
        cfg_com_port.set(name);
    }
}

void store_port_name(corvina::window_handle dialog) {
    store_port_name(control_text(dialog, layout::com_port_combo).c_str());
}

// One item per port found, the field kept as it was: emptying the list empties the field.
void fill_ports(corvina::window_handle dialog) {
    const string8 field = control_text(dialog, layout::com_port_combo);
    page_dialog::reset_combo(dialog, layout::com_port_combo);
    try {
        for (const listed_port& port : list_serial_ports()) {
            page_dialog::add_combo_item(dialog, layout::com_port_combo, port.description.c_str());
        }
    } catch (const std::exception& failure) {
        // A port can still be typed.
        log_error(failure.what());
    }
    uSetDlgItemText(dialog, layout::com_port_combo, field.c_str());
    page_dialog::fit_list_width(dialog, layout::com_port_combo);
}

// An item reads "COM5 - Pixel 7, Bluetooth outgoing": the setting and the field take the port
// alone. Called once the combo box has written the chosen item into its field.
void take_chosen_port(corvina::window_handle dialog) {
    const string8 item = control_text(dialog, layout::com_port_combo);
    const std::string_view text = item.view();
    store_port_name(std::string(text.substr(0, text.find(" - "))).c_str());
    uSetDlgItemText(dialog, layout::com_port_combo, string8(cfg_com_port).c_str());
}

// One combo item per playlist, in the player's order, so an item's index is the playlist's.
// The count is asked again after each item: the player may change its playlists meanwhile.
void fill_playlists(corvina::window_handle dialog) {
    page_dialog::reset_combo(dialog, layout::playlist_combo);
    try {
        const service_ptr<corvina::playlist_service> playlists =
            get_single_service<corvina::playlist_service>(corvina::class_guids::playlist_service);
        for (std::size_t index = 0; index < playlists->get_playlist_count(); ++index) {
            string8 name;
            playlists->playlist_get_name(index, name);
            throw_if_incomplete(name);
            page_dialog::add_combo_item(dialog, layout::playlist_combo, name.c_str());
        }
    } catch (const std::exception& failure) {
        // The rest of the page does not need the playlists.
        log_error(failure.what());
    }
}

void initialise(corvina::window_handle dialog) {
    fill_playlists(dialog);
    fill_ports(dialog);
    // Each edit reports the change and stores the same text again.
    uSetDlgItemText(dialog, layout::music_directory_edit, string8(cfg_music_directory).c_str());
    uSetDlgItemText(dialog, layout::com_port_combo, string8(cfg_com_port).c_str());
    uSetDlgItemText(dialog, layout::title_format_edit, string8(cfg_title_format).c_str());
    page_dialog::set_check(dialog, layout::auto_connect_check, cfg_auto_connect);
    page_dialog::set_check(dialog, layout::shuffle_next_random_check, cfg_shuffle_next_random);
    page_dialog::set_check(dialog, layout::use_specific_playlist_check, cfg_use_specific_playlist);
    page_dialog::select_combo_item(dialog, layout::playlist_combo, cfg_specific_playlist);
    page_dialog::enable_control(dialog, layout::playlist_combo, cfg_use_specific_playlist != 0);
    page_dialog::enable_page(dialog);
}

// Adds the chosen folder to the list; editing the field is the way to replace the list.
void browse_for_music_folder(corvina::window_handle dialog) {
    string8 folder = control_text(dialog, layout::music_directory_edit);
    if (uBrowseForFolder(dialog, browse_title, folder) == 0) {
        return;
    }
    string8 folders(cfg_music_directory);
    if (!folders.is_empty()) {
        folders += ";";
    }
    folders += folder.view();
    uSetDlgItemText(dialog, layout::music_directory_edit, folders.c_str());
    cfg_music_directory.set(folders.c_str());
    preferences_link_actions().apply_settings();
}

void on_text_changed(corvina::window_handle dialog, int id) {
    switch (id) {
        case layout::music_directory_edit:
            cfg_music_directory.set(control_text(dialog, id).c_str());
            preferences_link_actions().apply_settings();
            break;
        case layout::title_format_edit:
            cfg_title_format.set(control_text(dialog, id).c_str());
            preferences_link_actions().apply_settings();
            break;
        default:
            break;
    }
}

void on_clicked(corvina::window_handle dialog, int id) {
    switch (id) {
        case layout::browse_button:
            browse_for_music_folder(dialog);
            break;
        case layout::connect_button:
            store_port_name(dialog);
            preferences_link_actions().activate(false);
            preferences_link_actions().activate(true);
            break;
        case layout::auto_connect_check:
            cfg_auto_connect = page_dialog::get_check(dialog, id);
            break;
        case layout::help_button:
            run_main_menu_command(title_format_help);
            break;
        case layout::shuffle_next_random_check:
            cfg_shuffle_next_random = page_dialog::get_check(dialog, id);
            preferences_link_actions().apply_settings();
            break;
        case layout::use_specific_playlist_check: {
            const int checked = page_dialog::get_check(dialog, id);
            cfg_use_specific_playlist = checked;
            page_dialog::enable_control(dialog, layout::playlist_combo, checked != 0);
            preferences_link_actions().apply_settings();
            break;
        }
        default:
            break;
    }
}

void on_command(corvina::window_handle dialog, std::uintptr_t wparam) {
    const int id = v::low_word(wparam);
    const std::uint16_t code = v::high_word(wparam);
    if (id == layout::com_port_combo) {
        // Each takes effect at the next connect.
        if (code == v::cbn_editchange) {
            store_port_name(dialog);
        } else if (code == v::cbn_selchange || code == v::cbn_closeup) {
            // Opening the list may also fill the field with the item that matches its text.
            page_dialog::run_after_notification(dialog, port_picked);
        } else if (code == v::cbn_dropdown) {
            // A phone paired since the page opened shows up.
            fill_ports(dialog);
        }
    } else if (code == v::en_change) {
        on_text_changed(dialog, id);
    } else if (code == v::bn_clicked) {
        on_clicked(dialog, id);
    } else if (code == v::cbn_selchange && id == layout::playlist_combo) {
        cfg_specific_playlist = page_dialog::combo_selection(dialog, id);
        preferences_link_actions().apply_settings();
    }
}

}  // namespace

std::intptr_t CORVINA_CALLBACK preferences_page_procedure(corvina::window_handle dialog,
                                                          std::uint32_t message,
                                                          std::uintptr_t wparam,
                                                          std::intptr_t /*lparam*/) {
    guard_boundary([&] {
        if (message == v::wm_initdialog) {
            initialise(dialog);
        } else if (message == v::wm_command) {
            on_command(dialog, wparam);
        } else if (message == port_picked) {
            take_chosen_port(dialog);
        }
    });
    return 0;
}

}  // namespace tessel
