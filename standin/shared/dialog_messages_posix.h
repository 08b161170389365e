#pragma once
// Messages private to the headless dialog manager's windows. They lie in the range Windows
// leaves to a window class of its own (WM_USER to WM_APP - 1), at its top, away from the
// numbers dialog procedures pick for themselves.

#include <cstdint>

namespace corvina::dialogs::private_messages {

inline constexpr std::uint32_t get_enabled = 0x7F00;
inline constexpr std::uint32_t set_enabled = 0x7F01;    // wparam: non-zero enables
inline constexpr std::uint32_t get_text = 0x7F02;       // lparam: string_base*
inline constexpr std::uint32_t get_item_text = 0x7F03;  // wparam: index; lparam: string_base*
inline constexpr std::uint32_t user_type = 0x7F10;      // lparam: UTF-8 text
inline constexpr std::uint32_t user_click = 0x7F11;
inline constexpr std::uint32_t user_choose = 0x7F12;  // wparam: item index
inline constexpr std::uint32_t user_open = 0x7F13;

}  // namespace corvina::dialogs::private_messages
