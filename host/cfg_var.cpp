#include "host/cfg_var.h"

#include <cstring>
#include <limits>
#include <new>
#include <string_view>

#include "support/exceptions.h"
#include "support/log.h"

namespace tessel {

namespace {

// Constant-initialised, so it is empty before any variable's constructor runs.
constinit cfg_var* registry = nullptr;

constexpr std::size_t string_piece = 256;

void put_u32_le(unsigned char* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

std::uint32_t get_u32_le(const unsigned char* bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    }
    return value;
}

cfg_var* find_variable(const corvina::guid& id) {
    for (cfg_var* var = registry; var != nullptr; var = var->next()) {
        if (var->get_guid() == id) {
            return var;
        }
    }
    return nullptr;
}

}  // namespace

cfg_var::cfg_var(const corvina::guid& id) : guid_(id), next_(registry) {
    registry = this;
}

cfg_var* cfg_var::registry_head() {
    return registry;
}

void cfg_string::save_value(config_sink& out) {
    out.write(value_.c_str(), value_.length());
}

// The value changes only once the whole text is read: a text that cannot be stored (bad_alloc)
// leaves the value as it was, never cut short.
void cfg_string::load_value(bounded_reader& in, std::size_t /*size_hint*/) {
    scratch_string8 text;
    bool cut = false;  // a NUL was seen: the rest of the record is read but not kept
    char piece[string_piece];
    for (;;) {
        const std::size_t got = in.read(piece, sizeof piece);
        if (!cut) {
            cut = std::memchr(piece, 0, got) != nullptr;
            text.add_bytes(std::string_view(piece, got));
        }
        if (got < sizeof piece) {
            break;
        }
    }
    value_ = string8(text.view());
}

namespace {

// Counts the bytes of a stored form.
class measuring_sink final : public config_sink {
  public:
    void write(const void* /*data*/, std::size_t count) override { size += count; }
    std::uint64_t size = 0;
};

// Hands a stored form straight to the player's writer.
class writer_sink final : public config_sink {
  public:
    writer_sink(corvina::config_writer& out, corvina::abort_signal& abort)
        : out_(out), abort_(abort) {}
    void write(const void* data, std::size_t count) override {
        if (count != 0) {
            out_.write(data, count, abort_);
        }
    }

  private:
    corvina::config_writer& out_;
    corvina::abort_signal& abort_;
};

std::uint64_t stored_size(cfg_var& var) {
    measuring_sink measured;
    var.save_value(measured);
    return measured.size;
}

}  // namespace

// Each value is measured for its record's length, then written straight to the player; every
// check comes before the first byte goes out.
void cfg_save_all(corvina::config_writer& out, corvina::abort_signal& abort) {
    for (cfg_var* var = registry; var != nullptr; var = var->next()) {
        if (stored_size(*var) > std::numeric_limits<std::uint32_t>::max()) {
            throw exception_overflow();
        }
    }
    writer_sink to_player(out, abort);
    for (cfg_var* var = registry; var != nullptr; var = var->next()) {
        unsigned char length[4];
        put_u32_le(length, static_cast<std::uint32_t>(stored_size(*var)));
        // The GUID's in-memory layout on the little-endian targets we build for is its stored
        // form, so it is written (and read back in cfg_load_all) as it lies.
        out.write(&var->get_guid(), sizeof(corvina::guid), abort);
        out.write(length, sizeof length, abort);
        var->save_value(to_player);
    }
}

// Only the reader's read and skip are used: its read-exactly and skip-exactly report a short
// blob by throwing, and no exception may cross from the player into the component.
void cfg_load_all(corvina::config_reader& in, corvina::abort_signal& abort) {
    for (;;) {
        corvina::guid id{};
        if (in.read(&id, sizeof id, abort) < sizeof id) {
            return;  // the blob ends at a record boundary
        }
        unsigned char length_bytes[4];
        if (in.read(length_bytes, sizeof length_bytes, abort) != sizeof length_bytes) {
            break;
        }
        const std::uint32_t length = get_u32_le(length_bytes);

        cfg_var* var = find_variable(id);
        if (var == nullptr) {
            if (in.skip(length, abort) != length) {
                break;
            }
            continue;
        }
        bounded_reader record(in, abort, length);
        try {
            var->load_value(record, length);
        } catch (const exception_io_data&) {
            // The variable keeps its value; the rest of the blob is still good.
        } catch (const std::bad_alloc& failure) {
            // Likewise; the others still load.
            log_error(failure.what());
        }
        const std::uint64_t unread = record.remaining();
        if (unread != 0 && in.skip(unread, abort) != unread) {
            break;
        }
    }
    log_error("The stored settings end inside a record; the ones before it were loaded");
}

}  // namespace tessel
