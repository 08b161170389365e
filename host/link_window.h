#pragma once
// The procedure of the hidden window that receives the reader thread's hand-offs.

#include <cstdint>

#include "corvina/platform_types.h"
#include "host/message_window.h"

namespace tessel {

// The class of the hidden window; unregistered at shut-down.
inline constexpr const char* link_window_class = "tessel_link";

// Sent by the reader whose first open of the port failed: the main thread deactivates.
inline constexpr std::uint32_t connect_failed_message = app_message + 1;

// The procedure's answer to both: the message reached the main thread. A send that fails
// (the window is gone) answers 0.
inline constexpr std::intptr_t handoff_done = 1;

// Main thread: makes the hidden window, message-only, so that it is not destroyed with the
// player's main window and receives no broadcasts. Null (after an error line) when it cannot.
corvina::window_handle create_link_window();

// For app_message (lparam: the command code; wparam: null, or where the reader wants the
// file-system part of the command left, a std::unique_ptr<deferred_reply>): makes the chosen
// playlist active when the user asked for one, then runs the command. A failure of the player's
// services is logged and the command dropped: nothing escapes into the window system. Then what
// was put off while the command ran (a deactivation, a reconnection, the shut-down) takes
// effect. For connect_failed_message: deactivates the link whose reader sent it. Both answer
// handoff_done; every other message gets the default procedure's answer. A window destroyed by
// anyone but the link manager is made again at once.
std::intptr_t TESSEL_WINDOW_CALLBACK link_window_proc(corvina::window_handle window,
                                                      std::uint32_t message, std::uintptr_t wparam,
                                                      std::intptr_t lparam);

// Main thread: true while it runs a message a reader sent, so that reader waits for it to
// return.
bool handoff_in_progress();

// Main thread: true while a handed-over command runs. Its player services may run the message
// loop, in which the user can click Connect or the player can shut down.
bool command_in_progress();

}  // namespace tessel
