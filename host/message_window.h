#pragma once
// The hidden window through which the reader thread hands commands to the player's main
// thread: a send runs the window's procedure on the thread that created the window, and the
// sender waits for its result.

#include <cstdint>
#include <functional>

#include "corvina/platform_types.h"

#if defined(_WIN32)
#define TESSEL_WINDOW_CALLBACK __stdcall
#else
#define TESSEL_WINDOW_CALLBACK
#endif

namespace tessel {

// Same shape and calling convention as a Win32 window procedure.
using window_procedure = std::intptr_t(TESSEL_WINDOW_CALLBACK*)(corvina::window_handle window,
                                                                std::uint32_t message,
                                                                std::uintptr_t wparam,
                                                                std::intptr_t lparam);

// The first message number free for application use (WM_APP).
inline constexpr std::uint32_t app_message = 0x8000;
// Sent to a window's procedure as it is destroyed (WM_DESTROY).
inline constexpr std::uint32_t destroy_message = 0x0002;

// Registers a window class; false when it could not (for example, it exists already).
bool register_window_class(const char* name, window_procedure procedure,
                           corvina::module_handle instance);

// Unregisters a class whose windows are all gone, so that no class outlives the code of its
// procedure once the component is unloaded.
void unregister_window_class(const char* name, corvina::module_handle instance);

// Sends a message and waits for the procedure's result; 0 at once when the window is gone.
std::intptr_t send_window_message(corvina::window_handle window, std::uint32_t message,
                                  std::uintptr_t wparam, std::intptr_t lparam);

void destroy_window(corvina::window_handle window);

std::intptr_t default_window_procedure(corvina::window_handle window, std::uint32_t message,
                                       std::uintptr_t wparam, std::intptr_t lparam);

// Waits on the calling (main) thread until done() answers true, meanwhile serving messages
// other threads send to its windows, so that a sender it waits for cannot deadlock on it.
void wait_serving_sent_messages(const std::function<bool()>& done);

}  // namespace tessel
