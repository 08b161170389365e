// Directory searches over FindFirstFileExW / FindNextFileW, with UTF-8 names. The search asks
// for the basic information only (no short 8.3 names) and for large batches from the file
// system: a music collection is listed folder by folder, often over a network share.

#include <windows.h>

#include <cstdint>
#include <new>
#include <string>

#include "corvina/shared.h"
#include "standin/shared/slow_share.h"
#include "standin/shared/wide_text_win32.h"

namespace {

std::string narrow(const wchar_t* text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return std::string();
    }
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), length, nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(length - 1));
    return utf8;
}

class native_search final : public corvina::find_file {
  public:
    native_search(HANDLE search, const WIN32_FIND_DATAW& first) : search_(search), data_(first) {
        name_ = narrow(data_.cFileName);
    }

    bool next() override {
        if (!FindNextFileW(search_, &data_)) {
            return false;
        }
        name_ = narrow(data_.cFileName);
        return true;
    }
    const char* get_name() const override { return name_.c_str(); }
    std::uint64_t get_size() const override {
        return static_cast<std::uint64_t>(data_.nFileSizeHigh) << 32 | data_.nFileSizeLow;
    }
    std::uint32_t get_attributes() const override { return data_.dwFileAttributes; }
    void destroy() override { delete this; }

  private:
    ~native_search() { FindClose(search_); }

    HANDLE search_;
    WIN32_FIND_DATAW data_;
    std::string name_;
};

}  // namespace

corvina::find_file* uFindFirstFile(const char* pattern) {
    if (pattern == nullptr || *pattern == '\0') {
        return nullptr;
    }
    corvina::standin_shared::wait_as_a_slow_share();
    try {
        // Strict: a replaced character would search for other names.
        std::wstring wide;
        if (!corvina::wide_text::from_utf8(pattern, wide)) {
            return nullptr;
        }
        WIN32_FIND_DATAW first{};
        HANDLE search = FindFirstFileExW(wide.c_str(), FindExInfoBasic, &first,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (search == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER) {
            // Windows before 7 knows neither the basic level nor large fetches.
            search = FindFirstFileExW(wide.c_str(), FindExInfoStandard, &first,
                                      FindExSearchNameMatch, nullptr, 0);
        }
        if (search == INVALID_HANDLE_VALUE) {
            return nullptr;
        }
        try {
            return new native_search(search, first);
        } catch (const std::bad_alloc&) {
            FindClose(search);
            return nullptr;
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
