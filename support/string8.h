#pragma once
// string8: a growable, NUL-terminated UTF-8 string owned by value. All text inside the
// component is UTF-8; the player's wrapper functions fill a string8 through string_base.

#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>

#include "corvina/string_receiver.h"

namespace tessel {

// Buffer policies. exact_growth gives surplus memory back; doubling_growth is for short-lived
// strings built piece by piece (one console line, a setting being loaded).
struct exact_growth {
    // The new buffer size for a needed size, or the current one when it may stay.
    static std::size_t next_size(std::size_t current, std::size_t needed);
};
struct doubling_growth {
    static std::size_t next_size(std::size_t current, std::size_t needed);
};

template <class Growth>
class basic_string8 final : public corvina::string_base {
  public:
    basic_string8() = default;
    basic_string8(const char* text);  // NOLINT(google-explicit-constructor): text converts
    basic_string8(const char* text, std::size_t count);
    explicit basic_string8(std::string_view text);
    basic_string8(const basic_string8& other);
    basic_string8(basic_string8&& other) noexcept;
    basic_string8& operator=(const basic_string8& other);
    basic_string8& operator=(basic_string8&& other) noexcept;
    basic_string8& operator=(const char* text);
    ~basic_string8();

    // string_base: never throws (see string8.cpp)
    void add_string(const char* text, std::size_t count = corvina::whole_text) override;
    const char* get_ptr() const override;
    void set_string(const char* text, std::size_t count = corvina::whole_text) override;
    void truncate(std::size_t length) override;
    std::size_t length() const override { return length_; }
    char* lock_buffer(std::size_t n) override;
    void unlock_buffer() override;

    const char* c_str() const { return get_ptr(); }
    std::string_view view() const { return {get_ptr(), length_}; }
    bool is_empty() const { return length_ == 0; }
    void reset() { truncate(0); }
    // Appends the UTF-8 form of a code point; nothing when it cannot be encoded.
    void add_char(std::uint32_t code_point);
    // Appends bytes as they are; a NUL among them ends the text there. Unlike add_string it
    // throws bad_alloc when the text cannot grow.
    void add_bytes(std::string_view bytes) { append(bytes.data(), bytes.size()); }
    basic_string8& operator+=(std::string_view text) {
        add_bytes(text);
        return *this;
    }

    std::size_t buffer_size() const { return size_; }

    // True once text handed in through string_base (add_string, set_string, lock_buffer) was
    // dropped for want of memory: the text is not what the player meant to give.
    bool is_incomplete() const { return incomplete_; }

    friend bool operator==(const basic_string8& a, const basic_string8& b) {
        return a.view() == b.view();
    }
    friend bool operator==(const basic_string8& a, std::string_view b) { return a.view() == b; }
    // Spelled out: a literal converts both to string_view and to basic_string8.
    friend bool operator==(const basic_string8& a, const char* b) {
        return a.view() == std::string_view(b == nullptr ? "" : b);
    }

  private:
    // Throw bad_alloc when the buffer cannot grow.
    void append(const char* text, std::size_t count);
    void assign(const char* text, std::size_t count);
    void resize_buffer(std::size_t needed);
    void shrink_buffer() noexcept;

    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    std::size_t length_ = 0;
    bool incomplete_ = false;
};

// For text the player handed in: throws bad_alloc when it did not arrive whole, so that no
// cut text is taken for the player's.
template <class Growth>
void throw_if_incomplete(const basic_string8<Growth>& text) {
    if (text.is_incomplete()) {
        throw std::bad_alloc();
    }
}

using string8 = basic_string8<exact_growth>;
using scratch_string8 = basic_string8<doubling_growth>;

extern template class basic_string8<exact_growth>;
extern template class basic_string8<doubling_growth>;

}  // namespace tessel
