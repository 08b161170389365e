// Files and devices of the wrapper library on Windows: CreateFileW with the path converted
// from UTF-8.

#include <windows.h>

#include <string>

#include "corvina/shared.h"
#include "standin/shared/wide_text_win32.h"

corvina::file_handle uCreateFile(const char* path, std::uint32_t access, std::uint32_t share_mode,
                                 void* security, std::uint32_t disposition, std::uint32_t flags,
                                 corvina::file_handle template_file) {
    // Strict: a replaced character would name another file.
    std::wstring wide_path;
    if (path == nullptr || !corvina::wide_text::from_utf8(path, wide_path)) {
        return corvina::invalid_file_handle;
    }
    const HANDLE template_handle = template_file == corvina::invalid_file_handle
                                       ? nullptr
                                       : reinterpret_cast<HANDLE>(template_file);
    const HANDLE file = CreateFileW(wide_path.c_str(), access, share_mode,
                                    static_cast<LPSECURITY_ATTRIBUTES>(security), disposition,
                                    flags, template_handle);
    if (file == INVALID_HANDLE_VALUE) {
        return corvina::invalid_file_handle;
    }
    return reinterpret_cast<corvina::file_handle>(file);
}
