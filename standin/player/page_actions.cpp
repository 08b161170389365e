#include "standin/player/page_actions.h"

#include "corvina/dialogs.h"
#include "support/string8.h"

namespace standin {

bool perform_page_actions(corvina::preferences_page& page, corvina::window_handle parent,
                          const std::vector<page_action>& actions, player_host& player) {
    if (actions.empty()) {
        return true;
    }
    const char* name = page.get_name();
    const std::string page_name = name != nullptr ? name : "";
    corvina::window_handle dialog = page.create(parent);
    if (dialog == nullptr) {
        player.print("standin: the preferences page \"" + page_name + "\" could not be opened");
        return false;
    }
    bool all_done = true;
    for (const page_action& step : actions) {
        const std::string shown =
            step.action + (step.argument.empty() ? std::string() : " " + step.argument);
        tessel::string8 error;
        if (corvina::dialogs::perform_user_action(dialog, step.action.c_str(),
                                                  step.argument.c_str(), error)) {
            player.print("standin: preferences page \"" + page_name + "\": " + shown);
        } else {
            player.print("standin: preferences page \"" + page_name + "\": " + shown +
                         " failed: " + error.get_ptr());
            all_done = false;
        }
    }
    corvina::dialogs::destroy_dialog(dialog);
    return all_done;
}

}  // namespace standin
