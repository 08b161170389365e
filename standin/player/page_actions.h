#pragma once
// Changing the component's settings the way a user does: open its preferences page, type into
// fields, click buttons, pick from lists, then leave the page.

#include <string>
#include <vector>

#include "corvina/service.h"
#include "standin/player/player_host.h"

namespace standin {

struct page_action {
    std::string action;    // type, click, check, choose, browse, browse-cancel
    std::string argument;  // ID=TEXT, ID, ID=0|1, ID=INDEX, FOLDER, or nothing
};

// Opens the page as a child of parent, performs the actions in order, closes the page. Each
// action is named on the console; one that is malformed or refused is named with the reason,
// and the others still run. Answers whether every action was performed.
bool perform_page_actions(corvina::preferences_page& page, corvina::window_handle parent,
                          const std::vector<page_action>& actions, player_host& player);

}  // namespace standin
