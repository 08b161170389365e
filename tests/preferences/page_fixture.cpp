#include "tests/preferences/page_fixture.h"

#include "corvina/dialogs.h"
#include "host/remote_config_page.h"
#include "host/settings.h"
#include "support/host_access.h"
#include "support/string8.h"

namespace tessel::test {

std::size_t named_playlists::get_playlist_count() {
    ++count_questions;
    return names.size();
}

bool named_playlists::playlist_get_name(std::size_t playlist, corvina::string_base& out) {
    if (playlist >= names.size()) {
        return false;
    }
    out.set_string(names[playlist].c_str());
    return true;
}

void recorded_link::apply_settings() {
    calls.emplace_back("apply");
}

void recorded_link::activate(bool on) {
    calls.push_back(on ? std::string("activate ") + cfg_com_port.c_str() : "deactivate");
}

preferences_page_test::preferences_page_test()
    : guard_(player),
      previous_instance_(host().instance),
      previous_actions_(replace_preferences_link_actions(&link)) {
    host().instance = resource_module();
    player.add_service(corvina::class_guids::console, console);
    cfg_com_port.set("COM4");
    cfg_music_directory.set("H:\\mp3");
    cfg_title_format.set("$if2(%artist% - %title%, %_filename_ext%)");
    cfg_auto_connect = 0;
    cfg_shuffle_next_random = 0;
    cfg_use_specific_playlist = 0;
    cfg_specific_playlist = 0;
    corvina::dialogs::clear_folder_answers();
}

preferences_page_test::~preferences_page_test() {
    if (page != nullptr) {
        corvina::dialogs::destroy_dialog(page);
    }
    corvina::dialogs::clear_folder_answers();
    replace_preferences_link_actions(previous_actions_);
    host().instance = previous_instance_;
    EXPECT_EQ(player.outstanding_references(), 0);
}

corvina::window_handle preferences_page_test::open_page() {
    remote_config_page service;
    page = service.create(parent.handle());
    return page;
}

std::string preferences_page_test::text(int id) const {
    string8 value;
    EXPECT_TRUE(corvina::dialogs::get_text(page, id, value)) << "control " << id;
    return std::string(value.view());
}

std::vector<std::string> preferences_page_test::combo_items(int id) const {
    std::vector<std::string> items;
    const int count = corvina::dialogs::get_item_count(page, id);
    for (int i = 0; i < count; ++i) {
        string8 item;
        EXPECT_TRUE(corvina::dialogs::get_item_text(page, id, i, item));
        items.emplace_back(item.view());
    }
    return items;
}

}  // namespace tessel::test
