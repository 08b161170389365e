#include <windows.h>

#include <string>

#include "protocol/folder_identity.h"

namespace tessel {

namespace {

std::wstring widen(const string8& text) {
    if (text.is_empty()) {
        return std::wstring();
    }
    const int length = static_cast<int>(text.length());
    const int wide_length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), length, nullptr, 0);
    if (wide_length <= 0) {
        return std::wstring();
    }
    std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), length, wide.data(), wide_length);
    return wide;
}

}  // namespace

std::optional<folder_identity> identify_folder(const string8& path) {
    const std::wstring wide = widen(path);
    if (wide.empty()) {
        return std::nullopt;
    }
    // Opening without FILE_FLAG_OPEN_REPARSE_POINT follows links and junctions to the folder
    // they name; backup semantics is what lets a folder be opened at all.
    HANDLE folder = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL known = GetFileInformationByHandle(folder, &info);
    CloseHandle(folder);
    if (!known) {
        return std::nullopt;
    }
    return folder_identity{
        info.dwVolumeSerialNumber,
        static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

}  // namespace tessel
