#pragma once
// A player for the preferences page: playlists with names, menu-command providers, a console,
// the link actions the page asks for, and a parent window to put the page in. The page is the
// real one, made from dialog 106 (the compiled resource on Windows, the headless dialog on
// POSIX), and driven through the user's actions of the wrapper library.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corvina/guid.h"
#include "corvina/services.h"
#include "host/preferences_actions.h"
#include "tests/common/fake_host.h"

namespace tessel::test {

// The playlist service, as far as the page uses it: the count and the names.
class named_playlists final : public counted_service<corvina::playlist_service> {
  public:
    std::vector<std::string> names;
    int count_questions = 0;

    std::size_t get_playlist_count() override;
    bool playlist_get_name(std::size_t playlist, corvina::string_base& out) override;

    // Not used by the page.
    std::size_t get_active_playlist() override { return corvina::no_index; }
    void set_active_playlist(std::size_t /*playlist*/) override {}
    std::size_t playlist_get_item_count(std::size_t /*playlist*/) override { return 0; }
    void playlist_enum_items(std::size_t /*playlist*/, corvina::item_callback& /*callback*/,
                             const corvina::selection_mask& /*mask*/) override {}
    bool playlist_remove_items(std::size_t /*playlist*/,
                               const corvina::selection_mask& /*mask*/) override {
        return false;
    }
    void playlist_set_focus_item(std::size_t /*playlist*/, std::size_t /*item*/) override {}
    std::size_t playlist_insert_items(std::size_t /*playlist*/, std::size_t /*position*/,
                                      const corvina::track_list& /*items*/,
                                      const corvina::selection_mask& /*select*/) override {
        return corvina::no_index;
    }
    bool get_playing_item_location(std::size_t* /*playlist*/, std::size_t* /*item*/) override {
        return false;
    }
    std::size_t playback_order_get_count() override { return 0; }
    const char* playback_order_get_name(std::size_t /*index*/) override { return ""; }
    std::size_t playback_order_get_active() override { return 0; }
    void playback_order_set_active(std::size_t /*index*/) override {}
    bool playlist_play_item(std::size_t /*playlist*/, std::size_t /*item*/) override {
        return false;
    }
};

// A menu-command provider that records which of its commands ran.
class recorded_menu_commands final : public counted_service<corvina::menu_commands> {
  public:
    std::uint32_t get_command_count() override {
        return static_cast<std::uint32_t>(commands.size());
    }
    corvina::guid* get_command(corvina::guid* out, std::uint32_t index) override {
        *out = commands.at(index);
        return out;
    }
    void execute(std::uint32_t index, corvina::service_base* /*callback*/) override {
        executed.push_back(index);
    }

    std::vector<corvina::guid> commands;
    std::vector<std::uint32_t> executed;
};

// Records what the page asks of the link, with the port setting at each activation.
class recorded_link final : public link_actions {
  public:
    void apply_settings() override;
    void activate(bool on) override;

    std::vector<std::string> calls;
};

// The player's window that holds the page (a hidden top-level window on Windows).
class parent_window {
  public:
    parent_window();
    parent_window(const parent_window&) = delete;
    parent_window& operator=(const parent_window&) = delete;
    ~parent_window();

    corvina::window_handle handle() const { return handle_; }

  private:
    corvina::window_handle handle_ = nullptr;
};

// The module that holds dialog 106: the test program itself, into which the resource is linked.
corvina::module_handle resource_module();

class preferences_page_test : public ::testing::Test {
  protected:
    preferences_page_test();
    ~preferences_page_test() override;

    // Opens the page as the player does, through the page service's create slot.
    corvina::window_handle open_page();

    std::string text(int id) const;
    // The items of a drop-down: the playlists' unless told.
    std::vector<std::string> combo_items(int id = 1010) const;

    fake_host player;
    recording_console console;
    named_playlists playlists;
    recorded_menu_commands menu_provider_a;
    recorded_menu_commands menu_provider_b;
    recorded_link link;
    parent_window parent;
    corvina::window_handle page = nullptr;

  private:
    host_guard guard_;
    corvina::module_handle previous_instance_;
    link_actions* previous_actions_;
};

}  // namespace tessel::test
