// The headless dialog manager: a dialog and each of its controls are windows of the stand-in
// window system, so every message runs on the thread that created the dialog. The state of a
// dialog is touched only from inside its windows' procedures, on that thread; the lock guards
// no more than the map from window handles to state.

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "corvina/dialogs.h"
#include "corvina/posix_windows.h"
#include "standin/shared/dialog_messages_posix.h"

namespace corvina::dialogs {
namespace {

namespace v = win32_dialog_values;
namespace windows = posix_windows;

constexpr const char* dialog_class = "corvina headless dialog";
constexpr const char* control_class_id = "corvina headless dialog control";

struct dialog_state;

struct control_state {
    int id;
    control_class kind;
    std::uint32_t style;
    window_handle handle = nullptr;
    dialog_state* dialog;
    std::string text;
    int check = 0;
    bool enabled;
    std::vector<std::string> items;
    int selection = -1;

    bool is_check_box() const {
        return kind == control_class::button && (style & v::bs_type_mask) == v::bs_autocheckbox;
    }
    bool is_editable_combo() const {
        return kind == control_class::combo_box && (style & v::cbs_type_mask) == v::cbs_dropdown;
    }
    bool is_clickable() const {
        return kind == control_class::button &&
               ((style & v::bs_type_mask) == v::bs_pushbutton || is_check_box());
    }
};

struct dialog_state {
    dialog_procedure procedure;
    window_handle handle = nullptr;
    bool enabled;
    // Filled while the dialog is created; fixed afterwards.
    std::vector<std::unique_ptr<control_state>> controls;
};

// What a window of either class stands for; pending during creation until message_create.
struct window_entry {
    std::shared_ptr<dialog_state> dialog;
    control_state* control = nullptr;  // null for the dialog window itself
};

struct registry {
    std::mutex mutex;
    std::map<window_handle, window_entry> windows;
};

registry& state() {
    static registry* instance = new registry;  // outlives threads that end during exit
    return *instance;
}

bool find(window_handle window, window_entry& out) {
    std::lock_guard lock(state().mutex);
    const auto it = state().windows.find(window);
    if (it == state().windows.end()) {
        return false;
    }
    out = it->second;
    return true;
}

void forget(window_handle window) {
    std::lock_guard lock(state().mutex);
    state().windows.erase(window);
}

// The entry a window being created registers itself with.
struct creation {
    std::shared_ptr<dialog_state> dialog;
    control_state* control;
};

void remember(window_handle window, std::intptr_t lparam) {
    const auto* made = reinterpret_cast<const creation*>(lparam);
    std::lock_guard lock(state().mutex);
    state().windows[window] = window_entry{made->dialog, made->control};
}

std::intptr_t text_result(const std::string& text, std::uintptr_t size, std::intptr_t lparam) {
    auto* buffer = reinterpret_cast<char*>(lparam);
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    const std::size_t count = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return static_cast<std::intptr_t>(count);
}

const char* text_of(std::intptr_t lparam) {
    const auto* text = reinterpret_cast<const char*>(lparam);
    return text != nullptr ? text : "";
}

void notify(const control_state& control, std::uint16_t code) {
    windows::send_message(control.dialog->handle, v::wm_command,
                          v::make_wparam(static_cast<std::uint16_t>(control.id), code),
                          reinterpret_cast<std::intptr_t>(control.handle));
}

bool accepts_input(const control_state& control) {
    return control.enabled && control.dialog->enabled;
}

std::intptr_t select_item(control_state& combo, std::intptr_t index) {
    if (index < 0 || index >= static_cast<std::intptr_t>(combo.items.size())) {
        combo.selection = -1;
        combo.text.clear();
        return v::cb_err;
    }
    combo.selection = static_cast<int>(index);
    combo.text = combo.items[static_cast<std::size_t>(index)];
    return index;
}

std::intptr_t combo_message(control_state& combo, std::uint32_t message, std::uintptr_t wparam,
                            std::intptr_t lparam) {
    const auto index = static_cast<std::intptr_t>(wparam);
    const bool in_range = index >= 0 && index < static_cast<std::intptr_t>(combo.items.size());
    switch (message) {
        case v::cb_addstring:
            combo.items.emplace_back(text_of(lparam));
            return static_cast<std::intptr_t>(combo.items.size() - 1);
        case v::cb_resetcontent:
            combo.items.clear();
            combo.selection = -1;
            combo.text.clear();
            return 0;
        case v::cb_setcursel:
            return select_item(combo, index);
        case v::cb_getcursel:
            return combo.selection;
        case v::cb_getcount:
            return static_cast<std::intptr_t>(combo.items.size());
        case v::cb_getlbtextlen:
            return in_range ? static_cast<std::intptr_t>(combo.items[wparam].size()) : v::cb_err;
        case v::cb_getlbtext:
            if (!in_range) {
                return v::cb_err;
            }
            // As on Windows, the caller's buffer holds at least CB_GETLBTEXTLEN + 1 bytes.
            return text_result(combo.items[wparam], combo.items[wparam].size() + 1, lparam);
        default:
            return 0;
    }
}

std::intptr_t user_action(control_state& control, std::uint32_t message, std::uintptr_t wparam,
                          std::intptr_t lparam) {
    if (!accepts_input(control)) {
        return 0;
    }
    switch (message) {
        case private_messages::user_type:
            if (control.kind != control_class::edit && !control.is_editable_combo()) {
                return 0;
            }
            control.text = text_of(lparam);
            notify(control, control.kind == control_class::edit ? v::en_change : v::cbn_editchange);
            return 1;
        case private_messages::user_open:
            if (control.kind != control_class::combo_box) {
                return 0;
            }
            notify(control, v::cbn_dropdown);
            return 1;
        case private_messages::user_click:
            if (!control.is_clickable()) {
                return 0;
            }
            if (control.is_check_box()) {
                control.check = control.check == 1 ? 0 : 1;
            }
            notify(control, v::bn_clicked);
            return 1;
        case private_messages::user_choose: {
            const auto index = static_cast<std::intptr_t>(wparam);
            if (control.kind != control_class::combo_box || index < 0 ||
                index >= static_cast<std::intptr_t>(control.items.size())) {
                return 0;
            }
            select_item(control, index);
            notify(control, v::cbn_selchange);
            return 1;
        }
        default:
            return 0;
    }
}

std::intptr_t control_procedure(window_handle window, std::uint32_t message, std::uintptr_t wparam,
                                std::intptr_t lparam) {
    if (message == windows::message_create) {
        remember(window, lparam);
        return 0;
    }
    window_entry entry;
    if (!find(window, entry) || entry.control == nullptr) {
        return 0;
    }
    control_state& control = *entry.control;
    switch (message) {
        case windows::message_destroy:
            forget(window);
            return 0;
        case v::wm_settext:
            control.text = text_of(lparam);
            if (control.kind == control_class::edit) {
                notify(control, v::en_change);
            }
            return 1;
        case v::wm_gettextlength:
            return static_cast<std::intptr_t>(control.text.size());
        case v::wm_gettext:
            return text_result(control.text, wparam, lparam);
        case v::bm_getcheck:
            return control.kind == control_class::button ? control.check : 0;
        case v::bm_setcheck:
            if (control.kind == control_class::button) {
                control.check = wparam <= 2 ? static_cast<int>(wparam) : 1;
            }
            return 0;
        case private_messages::get_enabled:
            return control.enabled ? 1 : 0;
        case private_messages::set_enabled: {
            const bool was_disabled = !control.enabled;
            control.enabled = wparam != 0;
            return was_disabled ? 1 : 0;
        }
        case private_messages::get_text:
            reinterpret_cast<string_base*>(lparam)->set_string(control.text.data(),
                                                               control.text.size());
            return 1;
        case private_messages::get_item_text: {
            if (control.kind != control_class::combo_box || wparam >= control.items.size()) {
                return 0;
            }
            const std::string& item = control.items[wparam];
            reinterpret_cast<string_base*>(lparam)->set_string(item.data(), item.size());
            return 1;
        }
        case private_messages::user_type:
        case private_messages::user_click:
        case private_messages::user_choose:
        case private_messages::user_open:
            return user_action(control, message, wparam, lparam);
        default:
            return control.kind == control_class::combo_box
                       ? combo_message(control, message, wparam, lparam)
                       : 0;
    }
}

std::intptr_t dialog_window_procedure(window_handle window, std::uint32_t message,
                                      std::uintptr_t wparam, std::intptr_t lparam) {
    if (message == windows::message_create) {
        remember(window, lparam);
        return 0;
    }
    window_entry entry;
    if (!find(window, entry) || entry.control != nullptr) {
        return 0;
    }
    dialog_state& dialog = *entry.dialog;
    switch (message) {
        case private_messages::get_enabled:
            return dialog.enabled ? 1 : 0;
        case private_messages::set_enabled: {
            const bool was_disabled = !dialog.enabled;
            dialog.enabled = wparam != 0;
            return was_disabled ? 1 : 0;
        }
        case windows::message_destroy:
            dialog.procedure(window, v::wm_destroy, 0, 0);
            forget(window);
            return 0;
        default:
            return dialog.procedure(window, message, wparam, lparam);
    }
}

void register_classes() {
    static std::once_flag once;
    std::call_once(once, [] {
        windows::register_class(dialog_class, dialog_window_procedure);
        windows::register_class(control_class_id, control_procedure);
    });
}

}  // namespace

window_handle create_dialog(const dialog_template& layout, window_handle parent,
                            dialog_procedure procedure, std::intptr_t param) {
    if (procedure == nullptr || (layout.controls == nullptr && layout.control_count != 0)) {
        return nullptr;
    }
    register_classes();
    auto dialog = std::make_shared<dialog_state>();
    dialog->procedure = procedure;
    dialog->enabled = (layout.style & v::ws_disabled) == 0;
    const creation made_dialog{dialog, nullptr};
    dialog->handle =
        windows::create_window(dialog_class, "", parent, const_cast<creation*>(&made_dialog));
    if (dialog->handle == nullptr) {
        return nullptr;
    }
    window_handle first_tab_stop = nullptr;
    for (std::size_t i = 0; i < layout.control_count; ++i) {
        const control_template& item = layout.controls[i];
        auto control =
            std::make_unique<control_state>(control_state{item.id,
                                                          item.kind,
                                                          item.style,
                                                          nullptr,
                                                          dialog.get(),
                                                          item.text != nullptr ? item.text : "",
                                                          0,
                                                          (item.style & v::ws_disabled) == 0,
                                                          {},
                                                          -1});
        const creation made_control{dialog, control.get()};
        control->handle =
            windows::create_window(control_class_id, control->text.c_str(), dialog->handle,
                                   const_cast<creation*>(&made_control));
        if (control->handle == nullptr) {
            windows::destroy_window(dialog->handle);
            return nullptr;
        }
        if (first_tab_stop == nullptr && (item.style & v::ws_tabstop) != 0) {
            first_tab_stop = control->handle;
        }
        dialog->controls.push_back(std::move(control));
    }
    windows::send_message(dialog->handle, v::wm_initdialog,
                          reinterpret_cast<std::uintptr_t>(first_tab_stop), param);
    return dialog->handle;
}

window_handle get_dialog_item(window_handle dialog, int id) {
    window_entry entry;
    if (!find(dialog, entry) || entry.control != nullptr) {
        return nullptr;
    }
    for (const auto& control : entry.dialog->controls) {
        if (control->id == id) {
            return control->handle;
        }
    }
    return nullptr;
}

std::intptr_t send_message(window_handle window, std::uint32_t message, std::uintptr_t wparam,
                           std::intptr_t lparam) {
    return windows::send_message(window, message, wparam, lparam);
}

bool enable_window(window_handle window, bool enable) {
    return windows::send_message(window, private_messages::set_enabled, enable ? 1 : 0, 0) != 0;
}

void destroy_dialog(window_handle dialog) {
    windows::destroy_window(dialog);
}

}  // namespace corvina::dialogs
