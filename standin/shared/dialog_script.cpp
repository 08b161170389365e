// One user action on a dialog, given as text the way a command line gives it.

#include <cerrno>
#include <cstdlib>
#include <string>

#include "corvina/dialogs.h"

namespace corvina::dialogs {

namespace {

bool parse_number(const std::string& text, int& out) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < -1 || value > 0xFFFF) {
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

bool fail(string_base& error, const std::string& text) {
    error.set_string(text.c_str(), text.size());
    return false;
}

}  // namespace

bool perform_user_action(window_handle dialog, const char* action, const char* argument,
                         string_base& error) {
    const std::string name = action != nullptr ? action : "";
    const std::string text = argument != nullptr ? argument : "";
    if (name == "browse") {
        queue_folder_answer(text.c_str());
        return true;
    }
    if (name == "browse-cancel") {
        queue_folder_answer(nullptr);
        return true;
    }

    const std::size_t equals = text.find('=');
    const bool needs_value = name == "type" || name == "check" || name == "choose";
    if (needs_value && equals == std::string::npos) {
        return fail(error, name + " needs ID=VALUE, not \"" + text + "\"");
    }
    const std::string id_text = needs_value ? text.substr(0, equals) : text;
    const std::string value = needs_value ? text.substr(equals + 1) : "";
    int id = 0;
    if (!parse_number(id_text, id)) {
        return fail(error, "\"" + id_text + "\" is not a control id");
    }
    if (get_check(dialog, id) < 0) {  // -1 only when there is no such control
        return fail(error, "the dialog has no control " + id_text);
    }
    const std::string refused = "control " + id_text + " does not take this action now " +
                                "(disabled, or not that kind of control)";

    if (name == "type") {
        return type_text(dialog, id, value.c_str()) || fail(error, refused);
    }
    if (name == "click") {
        return click(dialog, id) || fail(error, refused);
    }
    if (name == "open") {
        return open_list(dialog, id) || fail(error, refused);
    }
    if (name == "check") {
        if (value != "0" && value != "1") {
            return fail(error, "check needs ID=0 or ID=1, not \"" + text + "\"");
        }
        if (get_check(dialog, id) == (value == "1" ? 1 : 0)) {
            return true;  // already so: a user would not click
        }
        return click(dialog, id) || fail(error, refused);
    }
    if (name == "choose") {
        int index = 0;
        if (!parse_number(value, index) || index < 0) {
            return fail(error, "\"" + value + "\" is not an item number");
        }
        return choose_item(dialog, id, index) || fail(error, refused);
    }
    return fail(error, "unknown action \"" + name + "\"");
}

}  // namespace corvina::dialogs
