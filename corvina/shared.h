#pragma once
// The player's UTF-8 wrapper library over the Windows API: every text is UTF-8. Components
// link against it as they would against the player's own. On POSIX the same functions work
// on the stand-in player's headless window system and on POSIX files and folders.
//
// The functions have C linkage, so that a module imports them by their plain names whichever
// compiler built it or the library. A handle from uCreateFile is closed with CloseHandle (on
// POSIX: close); the library offers nothing more than these eight functions.

#include <cstddef>
#include <cstdint>

#include "corvina/platform_types.h"
#include "corvina/string_receiver.h"

#if defined(_WIN32)
#if defined(CORVINA_SHARED_BUILD)
#define CORVINA_SHARED_API __declspec(dllexport)
#else
#define CORVINA_SHARED_API __declspec(dllimport)
#endif
#else
#define CORVINA_SHARED_API __attribute__((visibility("default")))
#endif

namespace corvina {

// Values of the Windows constants the wrapper functions take, usable on every platform.
namespace win32_values {
inline constexpr std::uint32_t generic_read = 0x80000000u;
inline constexpr std::uint32_t generic_write = 0x40000000u;
inline constexpr std::uint32_t open_existing = 3;
inline constexpr std::uint32_t file_attribute_directory = 0x10;
inline constexpr int cw_usedefault = static_cast<int>(0x80000000u);
// HWND_MESSAGE: the parent that makes a message-only window, which has no owner to be destroyed
// with and receives no broadcasts.
inline window_handle message_only_parent() {
    return reinterpret_cast<window_handle>(static_cast<std::intptr_t>(-3));
}
}  // namespace win32_values

// A directory search started by uFindFirstFile, positioned on its first entry.
class find_file {
  public:
    virtual bool next() = 0;                           // slot 0: false at the end
    virtual const char* get_name() const = 0;          // slot 1
    virtual std::uint64_t get_size() const = 0;        // slot 2
    virtual std::uint32_t get_attributes() const = 0;  // slot 3: Windows attribute bits
    virtual void reserved_slot_4() {}
    virtual void reserved_slot_5() {}
    virtual void reserved_slot_6() {}
    virtual void destroy() = 0;  // slot 7: ends the search

  protected:
    ~find_file() = default;
};

}  // namespace corvina

extern "C" {

// As CreateFileW; invalid_file_handle on failure. On POSIX the path is used as it is; share
// mode 0 takes the file exclusively (a second exclusive open fails).
CORVINA_SHARED_API corvina::file_handle uCreateFile(const char* path, std::uint32_t access,
                                                    std::uint32_t share_mode, void* security,
                                                    std::uint32_t disposition, std::uint32_t flags,
                                                    corvina::file_handle template_file);

// As FindFirstFileW on a path or pattern ("*.*" matches every entry); null when nothing
// matches. On POSIX a backslash in the path is a separator too.
CORVINA_SHARED_API corvina::find_file* uFindFirstFile(const char* pattern);

// As CreateWindowExW; null on failure.
CORVINA_SHARED_API corvina::window_handle uCreateWindowEx(
    std::uint32_t ex_style, const char* class_name, const char* window_name, std::uint32_t style,
    int x, int y, int width, int height, corvina::window_handle parent, void* menu,
    corvina::module_handle instance, void* param);

CORVINA_SHARED_API bool uGetDlgItemText(corvina::window_handle dialog, int id,
                                        corvina::string_base& out);
CORVINA_SHARED_API bool uSetDlgItemText(corvina::window_handle dialog, int id, const char* text);
CORVINA_SHARED_API std::intptr_t uSendMessageText(corvina::window_handle window,
                                                  std::uint32_t message, std::uintptr_t wparam,
                                                  const char* text);
// Asks the user for a folder, starting from in_out; non-zero when one was chosen.
CORVINA_SHARED_API int uBrowseForFolder(corvina::window_handle parent, const char* title,
                                        corvina::string_base& in_out);
// Appends the upper-case form of up to length bytes of text.
CORVINA_SHARED_API void uAddStringUpper(corvina::string_base& out, const char* text,
                                        std::size_t length = corvina::whole_text);

}  // extern "C"
