#pragma once
// The headless window system of the POSIX stand-in player: window classes, windows owned by the
// thread that created them, and synchronous sends that run a window's procedure on its owner
// thread. It gives POSIX builds the observable behaviour of RegisterClassW, CreateWindowExW,
// SendMessageW, DestroyWindow and DefWindowProcW that the component relies on:
//
// - send_message from the owner thread calls the procedure directly;
// - from any other thread it queues the call for the owner, which runs it when it pumps
//   (pump / pump_wait); the sender waits and gets the procedure's result;
// - while a sender waits it serves sends addressed to its own windows, so two threads sending
//   to each other do not deadlock;
// - a send to a destroyed window, or to one destroyed (or whose owner thread ended) while the
//   send waits, fails at once and returns 0.
//
// Window handles are never reused, so a stale handle is always recognised as destroyed.
// POSIX only: the Windows stand-in uses real Win32 windows.

#include <cstdint>
#include <thread>

#include "corvina/shared.h"

namespace corvina::posix_windows {

using window_procedure = std::intptr_t (*)(window_handle window, std::uint32_t message,
                                           std::uintptr_t wparam, std::intptr_t lparam);

// Messages the window system itself sends to a procedure.
inline constexpr std::uint32_t message_create = 0x0001;   // lparam: the creation parameter
inline constexpr std::uint32_t message_destroy = 0x0002;  // sent before the window goes away

// Registers a class name with its procedure; false when the name is taken or arguments are
// missing.
CORVINA_SHARED_API bool register_class(const char* class_name, window_procedure procedure);

// Removes a class; windows already made from it keep working. False when it was not registered.
CORVINA_SHARED_API bool unregister_class(const char* class_name);

// Creates a window of a registered class, owned by the calling thread. Its procedure gets
// message_create with the creation parameter first; a result of -1 cancels the creation.
// Null for an unknown class, a parent that is not a live window, or a cancelled creation.
// win32_values::message_only_parent() makes a window without a parent, as on Windows a
// message-only window (there are no broadcasts here).
CORVINA_SHARED_API window_handle create_window(const char* class_name, const char* title,
                                               window_handle parent, void* param);

// Runs the window's procedure on its owner thread and returns its result; 0 when the window
// is not alive or goes away before the owner gets to the send.
CORVINA_SHARED_API std::intptr_t send_message(window_handle window, std::uint32_t message,
                                              std::uintptr_t wparam, std::intptr_t lparam);

// Destroys a window and, first, its children owned by the same thread: each procedure gets
// message_destroy, then every send still waiting for the window fails. Only the owner thread
// may destroy a window (false otherwise, and for a window that is not alive).
CORVINA_SHARED_API bool destroy_window(window_handle window);

CORVINA_SHARED_API bool is_window(window_handle window);

CORVINA_SHARED_API window_handle get_parent(window_handle window);

// The title given at creation; empty for a window that is not alive.
CORVINA_SHARED_API bool get_window_title(window_handle window, string_base& out);

// The procedure of last resort: answers 0 to every message.
CORVINA_SHARED_API std::intptr_t default_procedure(window_handle window, std::uint32_t message,
                                                   std::uintptr_t wparam, std::intptr_t lparam);

// Runs every send waiting for the calling thread's windows; answers how many ran.
CORVINA_SHARED_API std::size_t pump();

// As pump, but first waits up to timeout_ms for a send (or a wake) when none is waiting.
CORVINA_SHARED_API std::size_t pump_wait(std::uint32_t timeout_ms);

// Ends a pump_wait of the given thread early (also one that starts later, once). Safe from any
// thread; does nothing for a thread that never used the window system.
CORVINA_SHARED_API void wake(std::thread::id thread);

}  // namespace corvina::posix_windows
