// Random blobs as the player's stored configuration. Whatever a blob does to the seven
// settings, what they hold afterwards must save and load back to the very same blob, and a
// blob that ends inside a record may only fail with the reader's own truncation error.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/cfg_var.h"
#include "host/settings.h"
#include "support/exceptions.h"
#include "tests/host/config_streams.h"

namespace tessel::fuzz {
namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "settings check failed: %s\n", what);
    std::abort();
}

struct setting_values {
    std::string com_port;
    std::string music_directory;
    std::string title_format;
    int auto_connect;
    int shuffle_next_random;
    int use_specific_playlist;
    int specific_playlist;

    static setting_values current() {
        return {std::string(cfg_com_port.view()),
                std::string(cfg_music_directory.view()),
                std::string(cfg_title_format.view()),
                cfg_auto_connect,
                cfg_shuffle_next_random,
                cfg_use_specific_playlist,
                cfg_specific_playlist};
    }

    void restore() const {
        cfg_com_port.set(com_port.c_str());
        cfg_music_directory.set(music_directory.c_str());
        cfg_title_format.set(title_format.c_str());
        cfg_auto_connect = auto_connect;
        cfg_shuffle_next_random = shuffle_next_random;
        cfg_use_specific_playlist = use_specific_playlist;
        cfg_specific_playlist = specific_playlist;
    }
};

// Taken before the first input, while every setting holds its default.
const setting_values& defaults() {
    static const setting_values values = setting_values::current();
    return values;
}

test::bytes save_all() {
    test::memory_writer out;
    test::never_abort abort;
    cfg_save_all(out, abort);
    return out.written;
}

// False when the blob ended inside a record (the reader's truncation error).
bool load_all(test::bytes blob) {
    test::memory_reader in(std::move(blob));
    test::never_abort abort;
    try {
        cfg_load_all(in, abort);
        return true;
    } catch (const exception_io_data_truncation&) {
        return false;
    }
}

bool holds_zero_byte(const cfg_string& text) {
    return text.view().find('\0') != std::string_view::npos;
}

}  // namespace
}  // namespace tessel::fuzz

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    tessel::fuzz::defaults();
    if (tessel::fuzz::save_all().size() != 207) {
        tessel::fuzz::fail("the defaults do not save as the 207-byte blob");
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessel;
    using namespace tessel::fuzz;
    defaults().restore();
    load_all(test::bytes(data, data + size));
    if (holds_zero_byte(cfg_com_port) || holds_zero_byte(cfg_music_directory) ||
        holds_zero_byte(cfg_title_format)) {
        fail("a loaded text holds a zero byte");
    }
    const setting_values loaded = setting_values::current();
    const test::bytes saved = save_all();

    defaults().restore();
    if (!load_all(saved)) {
        fail("a saved blob does not load whole");
    }
    const setting_values reloaded = setting_values::current();
    if (reloaded.com_port != loaded.com_port ||
        reloaded.music_directory != loaded.music_directory ||
        reloaded.title_format != loaded.title_format ||
        reloaded.auto_connect != loaded.auto_connect ||
        reloaded.shuffle_next_random != loaded.shuffle_next_random ||
        reloaded.use_specific_playlist != loaded.use_specific_playlist ||
        reloaded.specific_playlist != loaded.specific_playlist) {
        fail("the settings changed on their way through a save");
    }
    if (save_all() != saved) {
        fail("saving the reloaded settings gives another blob");
    }
    defaults().restore();
    return 0;
}
