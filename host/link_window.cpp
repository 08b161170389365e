#include "host/link_window.h"

#include <exception>

#include "corvina/class_guids.h"
#include "corvina/services.h"
#include "host/link_manager.h"
#include "host/settings.h"
#include "protocol/phone_link.h"
#include "support/host_access.h"
#include "support/log.h"

namespace tessel {

namespace {

void use_specific_playlist() {
    if (cfg_use_specific_playlist == 0) {
        return;
    }
    auto playlists =
        get_single_service<corvina::playlist_service>(corvina::class_guids::playlist_service);
    const int wanted = cfg_specific_playlist;
    // An index the player no longer has (a playlist was removed) is left alone.
    if (wanted < 0 || static_cast<std::size_t>(wanted) >= playlists->get_playlist_count()) {
        return;
    }
    if (playlists->get_active_playlist() != static_cast<std::size_t>(wanted)) {
        playlists->set_active_playlist(static_cast<std::size_t>(wanted));
    }
}

}  // namespace

std::intptr_t TESSEL_WINDOW_CALLBACK link_window_proc(corvina::window_handle window,
                                                      std::uint32_t message, std::uintptr_t wparam,
                                                      std::intptr_t lparam) {
    if (message == app_message) {
        try {
            use_specific_playlist();
            if (link_manager_instance != nullptr) {
                link_manager_instance->link().process_command(
                    static_cast<command_code>(static_cast<std::uintptr_t>(lparam)));
            }
        } catch (const std::exception& failure) {
            log_error(failure.what());
        } catch (...) {
            log_error("Bug check");
        }
    }
    return default_window_procedure(window, message, wparam, lparam);
}

}  // namespace tessel
