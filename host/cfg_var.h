#pragma once
// Persisted settings. Each variable carries a fixed GUID and a default, and registers itself in
// one process-wide list when constructed; the player stores the whole list as one blob of
// records (GUID, 32-bit little-endian length, data) through the component's entry object.
// Settings are read and written on the player's main thread only.

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "corvina/guid.h"
#include "corvina/service.h"
#include "host/bounded_reader.h"
#include "support/string8.h"

namespace tessel {

// Where a setting's stored form goes.
class config_sink {
  public:
    virtual void write(const void* data, std::size_t count) = 0;

  protected:
    ~config_sink() = default;
};

class cfg_var {
  public:
    cfg_var(const cfg_var&) = delete;
    cfg_var& operator=(const cfg_var&) = delete;

    const corvina::guid& get_guid() const { return guid_; }
    cfg_var* next() const { return next_; }

    // Writes the value's stored form; the same bytes each time while the value stays.
    virtual void save_value(config_sink& out) = 0;
    // Reads the value from one record of size_hint bytes.
    virtual void load_value(bounded_reader& in, std::size_t size_hint) = 0;

    // The most recently constructed variable; null before the first.
    static cfg_var* registry_head();

  protected:
    // Links this variable in front of the registry.
    explicit cfg_var(const corvina::guid& id);
    ~cfg_var() = default;

  private:
    corvina::guid guid_;
    cfg_var* next_;
};

// An integer setting, stored as its bytes in little-endian order.
template <class T>
class cfg_int_t final : public cfg_var {
    static_assert(std::is_integral_v<T>);

  public:
    cfg_int_t(const corvina::guid& id, T initial) : cfg_var(id), value_(initial) {}

    operator T() const { return value_; }  // NOLINT(google-explicit-constructor): reads as T
    cfg_int_t& operator=(T value) {
        value_ = value;
        return *this;
    }
    T get() const { return value_; }

    void save_value(config_sink& out) override {
        using unsigned_t = std::make_unsigned_t<T>;
        const auto bits = static_cast<unsigned_t>(value_);
        unsigned char bytes[sizeof(T)];
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            bytes[i] = static_cast<unsigned char>(bits >> (CHAR_BIT * i));
        }
        out.write(bytes, sizeof(T));
    }

    // A short record throws exception_io_data_truncation and leaves the value unchanged.
    void load_value(bounded_reader& in, std::size_t /*size_hint*/) override {
        using unsigned_t = std::make_unsigned_t<T>;
        unsigned char bytes[sizeof(T)];
        in.read_exactly(bytes, sizeof(T));
        unsigned_t bits = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            bits |= static_cast<unsigned_t>(static_cast<unsigned_t>(bytes[i]) << (CHAR_BIT * i));
        }
        value_ = static_cast<T>(bits);
    }

  private:
    T value_;
};

// A text setting: the UTF-8 bytes, without terminator or length prefix. It is a string_base
// itself, so the player's text functions can fill it directly.
class cfg_string final : public cfg_var, public corvina::string_base {
  public:
    // Runs while the module loads, where nothing may throw: a default that cannot be stored
    // leaves the setting empty until the stored settings are loaded.
    cfg_string(const corvina::guid& id, const char* initial) : cfg_var(id) {
        value_.set_string(initial);
    }

    // Replaces the value with a NUL-terminated text. Throws bad_alloc, with the value as it
    // was, when the new one cannot be stored.
    void set(const char* text) { value_ = string8(text); }
    const string8& get() const { return value_; }
    operator const string8&() const { return value_; }  // NOLINT(google-explicit-constructor)
    const char* c_str() const { return value_.c_str(); }
    std::string_view view() const { return value_.view(); }
    bool is_empty() const { return value_.is_empty(); }
    void reset() { value_.reset(); }

    // string_base
    void add_string(const char* text, std::size_t count = corvina::whole_text) override {
        value_.add_string(text, count);
    }
    const char* get_ptr() const override { return value_.get_ptr(); }
    void set_string(const char* text, std::size_t count = corvina::whole_text) override {
        value_.set_string(text, count);
    }
    void truncate(std::size_t length) override { value_.truncate(length); }
    std::size_t length() const override { return value_.length(); }
    char* lock_buffer(std::size_t n) override { return value_.lock_buffer(n); }
    void unlock_buffer() override { value_.unlock_buffer(); }

    void save_value(config_sink& out) override;
    // Takes the record's text up to its first NUL byte.
    void load_value(bounded_reader& in, std::size_t size_hint) override;

  private:
    string8 value_;
};

// Writes one record per registered variable, in registry order. Asks for no memory, so the
// player never gets a blob cut short for want of it.
void cfg_save_all(corvina::config_writer& out, corvina::abort_signal& abort);

// Reads records until the blob ends at a record boundary. Unknown records are skipped; a
// record a variable cannot read (exception_io_data) leaves that variable as it was. A blob
// that ends inside a record ends loading there with one error line; what was loaded stays.
void cfg_load_all(corvina::config_reader& in, corvina::abort_signal& abort);

}  // namespace tessel
