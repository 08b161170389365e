#include <windows.h>

#include <cstring>
#include <string>

#include "protocol/folder_identity.h"
#include "protocol/long_path.h"

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
    const std::wstring wide = widen(long_path_form(path));
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
    std::optional<folder_identity> identity;
    // The 128-bit ID is unique on every file system (the 64-bit index is not on ReFS); older
    // systems and some file systems refuse it or give none.
    FILE_ID_INFO id{};
    if (GetFileInformationByHandleEx(folder, FileIdInfo, &id, sizeof id)) {
        std::uint64_t halves[2] = {0, 0};
        static_assert(sizeof halves == sizeof id.FileId.Identifier);
        std::memcpy(halves, id.FileId.Identifier, sizeof halves);
        identity = folder_identity{id.VolumeSerialNumber, halves[1], halves[0]};
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if ((!identity || !identity->is_known()) && GetFileInformationByHandle(folder, &info)) {
        identity = folder_identity{
            info.dwVolumeSerialNumber, 0,
            static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
    }
    CloseHandle(folder);
    return identity;
}

}  // namespace tessel
