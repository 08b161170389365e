#include "tests/conformance/config_blob.h"

#include <cstring>

namespace conformance {

void blob::append(const void* data, std::size_t count) {
    if (count > capacity - size_) {
        count = capacity - size_;
    }
    std::memcpy(bytes_ + size_, data, count);
    size_ += count;
}

void blob::append_u32(std::uint32_t value) {
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    append(bytes, sizeof bytes);
}

void blob::append_record(const corvina::guid& id, const char* data, std::size_t count) {
    append(&id, sizeof id);
    append_u32(static_cast<std::uint32_t>(count));
    append(data, count);
}

const unsigned char* blob::find_record(const corvina::guid& id, std::uint32_t& length) const {
    std::size_t at = 0;
    while (size_ - at >= sizeof(corvina::guid) + 4) {
        const unsigned char* header = bytes_ + at + sizeof(corvina::guid);
        length = static_cast<std::uint32_t>(header[0] | header[1] << 8 | header[2] << 16 |
                                            static_cast<std::uint32_t>(header[3]) << 24);
        at += sizeof(corvina::guid) + 4;
        if (length > size_ - at) {
            return nullptr;
        }
        if (std::memcmp(bytes_ + at - 4 - sizeof(corvina::guid), &id, sizeof id) == 0) {
            return bytes_ + at;
        }
        at += length;
    }
    return nullptr;
}

void blob_writer::write(const void* data, std::size_t count, corvina::abort_signal& abort) {
    abort_passed_on_ = abort_passed_on_ && &abort == abort_;
    out_.append(data, count);
}

void blob_reader::note_abort(const corvina::abort_signal& abort) {
    abort_passed_on_ = abort_passed_on_ && &abort == abort_;
}

std::size_t blob_reader::read(void* data, std::size_t count, corvina::abort_signal& abort) {
    note_abort(abort);
    const std::size_t left = in_.size() - position_;
    const std::size_t got = count < left ? count : left;
    std::memcpy(data, in_.data() + position_, got);
    position_ += got;
    return got;
}

void blob_reader::read_exactly(void* data, std::size_t count, corvina::abort_signal& abort) {
    ++throwing_calls_;
    if (read(data, count, abort) != count) {
        throw blob_truncated{position_};
    }
}

std::uint64_t blob_reader::skip(std::uint64_t count, corvina::abort_signal& abort) {
    note_abort(abort);
    const std::size_t left = in_.size() - position_;
    const std::size_t got = count < left ? static_cast<std::size_t>(count) : left;
    position_ += got;
    return got;
}

void blob_reader::skip_exactly(std::uint64_t count, corvina::abort_signal& abort) {
    ++throwing_calls_;
    if (skip(count, abort) != count) {
        throw blob_truncated{position_};
    }
}

}  // namespace conformance
