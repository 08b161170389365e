#pragma once
// The player's configuration streams: a writer that keeps what the component saves, and a
// reader over a stored blob whose read-exactly and skip-exactly throw when the blob ends early,
// as the player's do. The reader counts those calls: a component that avoids them never lets
// the player's exception into its own frames.

#include <cstddef>
#include <cstdint>

#include "corvina/service.h"

namespace conformance {

// What the player's reader throws when a blob ends early.
struct blob_truncated {
    std::size_t position;
};

class never_abort final : public corvina::abort_signal {
  public:
    bool is_aborting() const override { return false; }
};

class blob {
  public:
    static constexpr std::size_t capacity = 4096;

    void append(const void* data, std::size_t count);
    void append_u32(std::uint32_t value);
    // One stored setting: GUID, 32-bit little-endian length, data.
    void append_record(const corvina::guid& id, const char* data, std::size_t count);
    void clear() { size_ = 0; }

    const unsigned char* data() const { return bytes_; }
    std::size_t size() const { return size_; }
    // The data of the first record for id; null when there is none. Sets length.
    const unsigned char* find_record(const corvina::guid& id, std::uint32_t& length) const;

  private:
    unsigned char bytes_[capacity] = {};
    std::size_t size_ = 0;
};

class blob_writer final : public corvina::config_writer {
  public:
    blob_writer(blob& out, const corvina::abort_signal& abort) : out_(out), abort_(&abort) {}

    void write(const void* data, std::size_t count, corvina::abort_signal& abort) override;

    bool abort_passed_on() const { return abort_passed_on_; }

  private:
    blob& out_;
    const corvina::abort_signal* abort_;
    bool abort_passed_on_ = true;
};

class blob_reader final : public corvina::config_reader {
  public:
    blob_reader(const blob& in, const corvina::abort_signal& abort) : in_(in), abort_(&abort) {}

    std::size_t read(void* data, std::size_t count, corvina::abort_signal& abort) override;
    void read_exactly(void* data, std::size_t count, corvina::abort_signal& abort) override;
    std::uint64_t skip(std::uint64_t count, corvina::abort_signal& abort) override;
    void skip_exactly(std::uint64_t count, corvina::abort_signal& abort) override;

    std::uint32_t throwing_calls() const { return throwing_calls_; }
    bool abort_passed_on() const { return abort_passed_on_; }
    bool at_end() const { return position_ == in_.size(); }

  private:
    void note_abort(const corvina::abort_signal& abort);

    const blob& in_;
    const corvina::abort_signal* abort_;
    std::size_t position_ = 0;
    std::uint32_t throwing_calls_ = 0;
    bool abort_passed_on_ = true;
};

}  // namespace conformance
