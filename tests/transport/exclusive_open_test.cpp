// uCreateFile's share mode on plain files: 0 keeps every other open out, in either order.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "corvina/shared.h"
#include "transport/bluetooth_connection.h"

namespace {

namespace win32 = corvina::win32_values;
constexpr std::uint32_t share_read_write = 0x1 | 0x2;

class scratch_file {
  public:
    scratch_file()
        : path_(std::filesystem::temp_directory_path() /
                ("tessel-open-" +
                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))) {
        std::FILE* made = std::fopen(path_.string().c_str(), "wb");
        if (made != nullptr) {
            std::fclose(made);
        }
    }
    ~scratch_file() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    std::string path() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

corvina::file_handle open_file(const std::string& path, std::uint32_t share_mode) {
    return uCreateFile(path.c_str(), win32::generic_read | win32::generic_write, share_mode,
                       nullptr, win32::open_existing, 0, corvina::invalid_file_handle);
}

TEST(exclusive_open, share_mode_zero_keeps_other_opens_out) {
    scratch_file file;
    const corvina::file_handle first = open_file(file.path(), 0);
    ASSERT_NE(first, corvina::invalid_file_handle);
    EXPECT_EQ(open_file(file.path(), 0), corvina::invalid_file_handle);
    EXPECT_EQ(open_file(file.path(), share_read_write), corvina::invalid_file_handle);
    tessel::bluetooth_connection::close_port(first);
    const corvina::file_handle again = open_file(file.path(), 0);
    EXPECT_NE(again, corvina::invalid_file_handle) << "closing gives the file back";
    tessel::bluetooth_connection::close_port(again);
}

TEST(exclusive_open, shared_opens_coexist_and_keep_an_exclusive_one_out) {
    scratch_file file;
    const corvina::file_handle first = open_file(file.path(), share_read_write);
    const corvina::file_handle second = open_file(file.path(), share_read_write);
    EXPECT_NE(first, corvina::invalid_file_handle);
    EXPECT_NE(second, corvina::invalid_file_handle);
    EXPECT_EQ(open_file(file.path(), 0), corvina::invalid_file_handle);
    tessel::bluetooth_connection::close_port(first);
    tessel::bluetooth_connection::close_port(second);
}

TEST(exclusive_open, missing_and_empty_paths_fail) {
    scratch_file file;
    EXPECT_EQ(open_file(file.path() + "-missing", 0), corvina::invalid_file_handle);
    EXPECT_EQ(open_file("", 0), corvina::invalid_file_handle);
    tessel::bluetooth_connection::close_port(
        corvina::invalid_file_handle);  // closing nothing does nothing
}

}  // namespace
