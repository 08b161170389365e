#include "host/link_window.h"

#include "corvina/class_guids.h"
#include "corvina/services.h"
#include "corvina/shared.h"
#include "host/link_lifecycle.h"
#include "host/link_manager.h"
#include "host/settings.h"
#include "protocol/deferred_reply.h"
#include "protocol/phone_link.h"
#include "support/boundary.h"
#include "support/host_access.h"
#include "support/log.h"

namespace tessel {

namespace {

// Main thread only.
int handoffs_running = 0;
int commands_running = 0;

class count_scope {
  public:
    explicit count_scope(int& counter) : counter_(counter) { ++counter_; }
    count_scope(const count_scope&) = delete;
    count_scope& operator=(const count_scope&) = delete;
    ~count_scope() { --counter_; }

  private:
    int& counter_;
};

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

bool handoff_in_progress() {
    return handoffs_running > 0;
}

bool command_in_progress() {
    return commands_running > 0;
}

std::intptr_t TESSEL_WINDOW_CALLBACK link_window_proc(corvina::window_handle window,
                                                      std::uint32_t message, std::uintptr_t wparam,
                                                      std::intptr_t lparam) {
    if (message == destroy_message) {
        guard_boundary([window] {
            if (link_manager_instance != nullptr) {
                link_manager_instance->window_destroyed(window);
            }
        });
    } else if (message == app_message) {
        const count_scope handing_over(handoffs_running);
        guard_boundary([&] {
            const count_scope running(commands_running);
            use_specific_playlist();
            if (link_manager_instance != nullptr) {
                // A reader sends the place for the file-system part of the command in wparam.
                link_manager_instance->link().process_command(
                    static_cast<command_code>(static_cast<std::uintptr_t>(lparam)),
                    reinterpret_cast<std::unique_ptr<deferred_reply>*>(wparam));
            }
        });
        if (commands_running == 0) {
            guard_boundary([] { settle_link_manager(); });
        }
        return handoff_done;
    } else if (message == connect_failed_message) {
        const count_scope handing_over(handoffs_running);
        guard_boundary([] {
            if (link_manager_instance != nullptr) {
                link_manager_instance->end_failed_connection();
            }
        });
        return handoff_done;
    }
    return default_window_procedure(window, message, wparam, lparam);
}

corvina::window_handle create_link_window() {
    register_window_class(link_window_class, link_window_proc, host().instance);
    const corvina::window_handle window = uCreateWindowEx(
        0, link_window_class, link_window_class, 0, corvina::win32_values::cw_usedefault,
        corvina::win32_values::cw_usedefault, 0, 0, corvina::win32_values::message_only_parent(),
        nullptr, host().instance, nullptr);
    if (window == nullptr) {
        log_error("couldn't create window");
    }
    return window;
}

}  // namespace tessel
