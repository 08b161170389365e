#pragma once
// The configuration blob a component saves and loads, kept in a file of its own: the file
// holds the blob byte for byte. Writes go to a temporary file that then replaces the old one, so
// a crash never leaves half a file.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "corvina/service.h"

namespace standin {

using byte_vector = std::vector<std::uint8_t>;

// What read_exactly and skip_exactly throw when the blob ends early.
class config_truncated : public std::runtime_error {
  public:
    config_truncated() : std::runtime_error("the configuration ends in the middle of a record") {}
};

// The blob in the file; nothing when the file does not exist. Throws std::runtime_error with a
// readable text when the file exists but cannot be read.
std::optional<byte_vector> read_config_file(const std::string& path);

// Replaces the file with the blob (temporary file beside it, then a rename). Throws
// std::runtime_error with a readable text on failure; the old file is then untouched.
void write_config_file(const std::string& path, const byte_vector& blob);

class never_abort final : public corvina::abort_signal {
  public:
    bool is_aborting() const override { return false; }
};

class memory_config_reader final : public corvina::config_reader {
  public:
    explicit memory_config_reader(const byte_vector& blob) : blob_(blob) {}

    std::size_t read(void* buffer, std::size_t count, corvina::abort_signal& abort) override;
    void read_exactly(void* buffer, std::size_t count, corvina::abort_signal& abort) override;
    std::uint64_t skip(std::uint64_t count, corvina::abort_signal& abort) override;
    void skip_exactly(std::uint64_t count, corvina::abort_signal& abort) override;

    std::size_t position() const { return position_; }

  private:
    const byte_vector& blob_;
    std::size_t position_ = 0;
};

class memory_config_writer final : public corvina::config_writer {
  public:
    void write(const void* buffer, std::size_t count, corvina::abort_signal& abort) override;
    const byte_vector& bytes() const { return bytes_; }

  private:
    byte_vector bytes_;
};

// The blob with the text record of one setting replaced (every earlier record of that GUID
// removed, the new one placed after the last whole record, so it wins). A damaged tail is kept
// after it as it was.
byte_vector with_string_record(const byte_vector& blob, const corvina::guid& setting,
                               std::string_view value);

// Where the blob's whole records end: its size when no record is cut short.
std::size_t whole_records_end(const byte_vector& blob);

// The text of a setting's record (the last one, as loading lets the last one win); nothing when
// the blob has no whole record of it.
std::optional<std::string> string_record(const byte_vector& blob, const corvina::guid& setting);

// The blob without any whole record of the setting; a damaged tail is kept as it was.
byte_vector without_record(const byte_vector& blob, const corvina::guid& setting);

// {3A288ADA-2D70-419F-9A23-117590C800A9}: the component's serial port setting.
inline constexpr corvina::guid com_port_setting{
    0x3A288ADA, 0x2D70, 0x419F, {0x9A, 0x23, 0x11, 0x75, 0x90, 0xC8, 0x00, 0xA9}};

}  // namespace standin
