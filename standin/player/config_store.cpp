#include "standin/player/config_store.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "standin/player/media_files.h"

namespace standin {
namespace {

constexpr std::size_t guid_size = 16;
constexpr std::size_t length_size = 4;

std::uint32_t read_le32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void append_le32(byte_vector& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void append_guid(byte_vector& out, const corvina::guid& id) {
    append_le32(out, id.data1);
    out.push_back(static_cast<std::uint8_t>(id.data2));
    out.push_back(static_cast<std::uint8_t>(id.data2 >> 8));
    out.push_back(static_cast<std::uint8_t>(id.data3));
    out.push_back(static_cast<std::uint8_t>(id.data3 >> 8));
    out.insert(out.end(), std::begin(id.data4), std::end(id.data4));
}

}  // namespace

std::optional<byte_vector> read_config_file(const std::string& path) {
    const std::filesystem::path file = path_from_utf8(path);
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot open the configuration file " + path);
    }
    byte_vector blob{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        throw std::runtime_error("cannot read the configuration file " + path);
    }
    return blob;
}

void write_config_file(const std::string& path, const byte_vector& blob) {
    const std::filesystem::path file = path_from_utf8(path);
    std::filesystem::path temporary = file;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(blob.data()),
                  static_cast<std::streamsize>(blob.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw std::runtime_error("cannot write " + path_to_utf8(temporary));
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, file, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw std::runtime_error("cannot replace " + path + ": " + error.message());
    }
}

std::size_t memory_config_reader::read(void* buffer, std::size_t count, corvina::abort_signal&) {
    const std::size_t n = std::min(count, blob_.size() - position_);
    if (n != 0) {
        std::memcpy(buffer, blob_.data() + position_, n);
    }
    position_ += n;
    return n;
}

void memory_config_reader::read_exactly(void* buffer, std::size_t count,
                                        corvina::abort_signal& abort) {
    if (read(buffer, count, abort) != count) {
        throw config_truncated();
    }
}

std::uint64_t memory_config_reader::skip(std::uint64_t count, corvina::abort_signal&) {
    const std::uint64_t n = std::min<std::uint64_t>(count, blob_.size() - position_);
    position_ += static_cast<std::size_t>(n);
    return n;
}

void memory_config_reader::skip_exactly(std::uint64_t count, corvina::abort_signal& abort) {
    if (skip(count, abort) != count) {
        throw config_truncated();
    }
}

void memory_config_writer::write(const void* buffer, std::size_t count, corvina::abort_signal&) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    bytes_.insert(bytes_.end(), bytes, bytes + count);
}

namespace {

// Calls visit(offset, size, is_setting) for each whole record; answers where the whole records
// end.
template <class Visit>
std::size_t walk_records(const byte_vector& blob, const corvina::guid& setting, Visit visit) {
    byte_vector wanted;
    append_guid(wanted, setting);
    std::size_t pos = 0;
    while (blob.size() - pos >= guid_size + length_size) {
        const std::uint32_t length = read_le32(blob.data() + pos + guid_size);
        const std::size_t record_size = guid_size + length_size + length;
        if (blob.size() - pos < record_size) {
            break;
        }
        visit(pos, record_size, std::equal(wanted.begin(), wanted.end(), blob.begin() + pos));
        pos += record_size;
    }
    return pos;
}

}  // namespace

std::size_t whole_records_end(const byte_vector& blob) {
    return walk_records(blob, corvina::guid{}, [](std::size_t, std::size_t, bool) {});
}

std::optional<std::string> string_record(const byte_vector& blob, const corvina::guid& setting) {
    std::optional<std::string> value;
    walk_records(blob, setting, [&](std::size_t at, std::size_t size, bool is_setting) {
        if (is_setting) {
            const auto data =
                blob.begin() + static_cast<std::ptrdiff_t>(at + guid_size + length_size);
            value = std::string(data, blob.begin() + static_cast<std::ptrdiff_t>(at + size));
        }
    });
    return value;
}

namespace {

// The whole records of other settings, and where the whole records end.
std::pair<byte_vector, std::size_t> other_records(const byte_vector& blob,
                                                  const corvina::guid& setting) {
    byte_vector kept;
    const std::size_t end =
        walk_records(blob, setting, [&](std::size_t at, std::size_t size, bool is_setting) {
            if (!is_setting) {
                kept.insert(kept.end(), blob.begin() + static_cast<std::ptrdiff_t>(at),
                            blob.begin() + static_cast<std::ptrdiff_t>(at + size));
            }
        });
    return {std::move(kept), end};
}

}  // namespace

byte_vector without_record(const byte_vector& blob, const corvina::guid& setting) {
    auto [kept, end] = other_records(blob, setting);
    kept.insert(kept.end(), blob.begin() + static_cast<std::ptrdiff_t>(end), blob.end());
    return kept;
}

byte_vector with_string_record(const byte_vector& blob, const corvina::guid& setting,
                               std::string_view value) {
    auto [records, end] = other_records(blob, setting);
    append_guid(records, setting);
    append_le32(records, static_cast<std::uint32_t>(value.size()));
    records.insert(records.end(), value.begin(), value.end());
    // A damaged tail, if any, stays after the new record.
    records.insert(records.end(), blob.begin() + static_cast<std::ptrdiff_t>(end), blob.end());
    return records;
}

}  // namespace standin
