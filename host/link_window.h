#pragma once
// The procedure of the hidden window that receives the reader thread's hand-offs.

#include <cstdint>

#include "host/message_window.h"

namespace tessel {

// For app_message (lparam: the command code): makes the chosen playlist active when the user
// asked for one, then runs the command. A failure of the player's services is logged and the
// command dropped: nothing escapes into the window system. Every message, app_message
// included, then gets the default procedure's answer.
std::intptr_t TESSEL_WINDOW_CALLBACK link_window_proc(corvina::window_handle window,
                                                      std::uint32_t message, std::uintptr_t wparam,
                                                      std::intptr_t lparam);

}  // namespace tessel
