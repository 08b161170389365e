// Files and devices of the wrapper library on Windows: CreateFileW with the path converted
// from UTF-8.

#include <windows.h>

#include <string>

#include "standin/shared/corvina_shared.h"

namespace {

// UTF-16 form of a UTF-8 text; false when the text is not valid UTF-8.
bool to_wide(const char* text, std::wstring& out) {
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    out.assign(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, out.data(), length) !=
        length) {
        return false;
    }
    out.resize(static_cast<std::size_t>(length) - 1);  // the terminator stays implicit
    return true;
}

}  // namespace

corvina::file_handle uCreateFile(const char* path, std::uint32_t access, std::uint32_t share_mode,
                                 void* security, std::uint32_t disposition, std::uint32_t flags,
                                 corvina::file_handle template_file) {
    std::wstring wide_path;
    if (path == nullptr || !to_wide(path, wide_path)) {
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

void uCloseFile(corvina::file_handle file) {
    if (file != corvina::invalid_file_handle) {
        CloseHandle(reinterpret_cast<HANDLE>(file));
    }
}
