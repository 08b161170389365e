#pragma once
// The text interfaces through which the player hands UTF-8 text back to a component.
// Slot order is part of the contract: slot 0 of string_receiver, then slots 1-6 of string_base.

#include <cstddef>

namespace corvina {

// Count meaning "up to the terminating NUL".
inline constexpr std::size_t whole_text = static_cast<std::size_t>(-1);

class string_receiver {
  public:
    // Slot 0: appends up to count bytes of text, stopping early at a NUL byte.
    virtual void add_string(const char* text, std::size_t count = whole_text) = 0;

  protected:
    ~string_receiver() = default;
};

class string_base : public string_receiver {
  public:
    virtual const char* get_ptr() const = 0;                                        // slot 1
    virtual void set_string(const char* text, std::size_t count = whole_text) = 0;  // slot 2
    virtual void truncate(std::size_t length) = 0;                                  // slot 3
    virtual std::size_t length() const = 0;                                         // slot 4
    virtual char* lock_buffer(std::size_t n) = 0;                                   // slot 5
    virtual void unlock_buffer() = 0;                                               // slot 6

  protected:
    ~string_base() = default;
};

}  // namespace corvina
