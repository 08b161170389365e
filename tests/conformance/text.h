#pragma once
// Text for a program without a C library: a fixed-capacity string that is also the player's
// string receiver, and writing lines to standard output.

#include <cstddef>
#include <cstdint>

#include "corvina/guid.h"
#include "corvina/string_receiver.h"

namespace conformance {

std::size_t text_length(const char* text);
bool same_text(const char* a, const char* b);
bool starts_with(const char* text, const char* prefix);

class text final : public corvina::string_base {
  public:
    text() = default;
    explicit text(const char* initial) { add_string(initial); }

    void add_string(const char* more, std::size_t count = corvina::whole_text) override;
    const char* get_ptr() const override { return data_; }
    void set_string(const char* value, std::size_t count = corvina::whole_text) override;
    void truncate(std::size_t length) override;
    std::size_t length() const override { return length_; }
    char* lock_buffer(std::size_t size) override;
    void unlock_buffer() override;

    // Every call the component made on this object went to the right object.
    bool calls_were_sound() const { return magic_ == expected_magic; }

    text& operator<<(const char* more);
    text& operator<<(std::uint32_t number);
    text& operator<<(const corvina::guid& id);  // upper-case 8-4-4-4-12, no braces

  private:
    static constexpr std::uint32_t expected_magic = 0x54455854;
    static constexpr std::size_t capacity = 1024;

    std::uint32_t magic_ = expected_magic;
    std::size_t length_ = 0;
    char data_[capacity] = {};
};

// Writes the text and a line end to standard output.
void print_line(const char* line);

}  // namespace conformance
