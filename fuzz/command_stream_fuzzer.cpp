// Random bytes as the phone's side of the link: the front of the input is read as command
// codes and their arguments, again and again, and the player's answers (titles of any bytes
// and any length, playlist sizes around 65535, volumes, positions, paths) come from the back.
// LIST and DLST walk a small real folder tree made once. Every reply is checked against what
// the player answered, so a reply that is wrong, cut or interleaved stops the run like a
// crash does.

#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "control/control.h"
#include "corvina/class_guids.h"
#include "corvina/service.h"
#include "corvina/services.h"
#include "fuzz/two_ended_input.h"
#include "protocol/command_code.h"
#include "protocol/phone_link.h"
#include "support/host_access.h"
#include "support/reply_buffer.h"
#include "transport/connection.h"

namespace tessel::fuzz {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "reply check failed: %s\n", what);
    std::abort();
}

void require(bool condition, const char* what) {
    if (!condition) {
        fail(what);
    }
}

std::uint32_t wire_u32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    }
    return value;
}

// What the player answered last, for checking the reply built from it.
struct answers {
    bool playing = false;
    bool paused = false;
    bool shuffle = false;
    bool repeat = false;
    int length = 0;
    int position = 0;
    int bitrate = 0;
    int info_value_2 = 0;
    int info_value_3 = 0;
    int playlist_size = 0;
    std::uint8_t volume = 0;
    std::string title;
};

// A player whose every answer is taken from the input.
class fuzz_player final : public control {
  public:
    explicit fuzz_player(two_ended_input& input) : input_(input) {}

    const answers& last() const { return last_; }

    void fade_out() override {}
    void fast_forward(int /*seconds*/) override {}
    void rewind(int /*seconds*/) override {}
    void next(bool /*random_in_shuffle*/) override {}
    void previous() override {}
    void pause() override {}
    void stop() override {}
    void play_file(string8 path) override { check_argument(path); }
    void start() override {}
    int get_playlist_size() override {
        // Sizes around the 16-bit limit matter most; a long playlist costs a lot, so only
        // the first two per input may be long.
        static constexpr int notable[] = {0,     1,      2,  65534,   65535,  65536,
                                          65537, 131071, -1, INT_MIN, INT_MAX};
        const std::uint8_t pick = input_.back_byte();
        int size = pick < std::size(notable) ? notable[pick] : pick % 32;
        if (size > 64 && size <= 65535 && long_playlists_++ >= 2) {
            size %= 64;
        }
        last_.playlist_size = size;
        return size;
    }
    std::vector<string8> get_playlist_titles() override {
        const int count = last_.playlist_size < 0 ? 0 : std::min(last_.playlist_size, 65535);
        std::vector<std::string> kinds;
        for (int i = 0; i < 3; ++i) {
            kinds.push_back(input_.back_text(40));
        }
        std::vector<string8> titles;
        titles.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            const std::string& kind = kinds[static_cast<std::size_t>(i) % kinds.size()];
            titles.emplace_back(kind.data(), kind.size());
        }
        return titles;
    }
    void add_file(string8 path) override { check_argument(path); }
    void play_track(int index) override { require(index >= 0 && index <= 65535, "SLCT index"); }
    void remove_all() override {}
    void set_repeat(bool /*on*/) override {}
    void set_shuffle(bool /*on*/) override {}
    void seek(int /*seconds*/) override {}
    void set_stop_at_end(bool on) override { require(on, "STEN passes true"); }
    void set_volume(std::uint8_t /*level*/) override {}
    std::uint8_t get_volume() override { return last_.volume = input_.back_byte(); }
    int get_bitrate() override { return last_.bitrate = next_int(); }
    int get_info_value_2() override { return last_.info_value_2 = next_int(); }
    int get_info_value_3() override { return last_.info_value_3 = next_int(); }
    string8 get_playing_path() override;
    int get_position() override { return last_.position = next_int(); }
    int get_length() override { return last_.length = next_int(); }
    bool is_shuffle() override { return last_.shuffle = (input_.back_byte() & 1) != 0; }
    bool is_repeat() override { return last_.repeat = (input_.back_byte() & 1) != 0; }
    void get_playing_title(string8& out) override;
    bool is_paused() override { return last_.paused = (input_.back_byte() & 1) != 0; }
    bool is_playing() override { return last_.playing = (input_.back_byte() & 1) != 0; }
    int get_playing_index() override { return next_int(); }

  private:
    int next_int() { return static_cast<int>(input_.back_u32()); }

    // A string argument stops at its first zero byte.
    static void check_argument(const string8& text) {
        require(text.view().find('\0') == std::string_view::npos, "argument holds a zero byte");
    }

    two_ended_input& input_;
    answers last_;
    int long_playlists_ = 0;
};

// The small real tree that LIST and DLST walk, made once for the whole run.
struct music_tree {
    music_tree() {
        root = fs::temp_directory_path() / ("tessel_fuzz_tree_" + std::to_string(::getpid()));
        fs::remove_all(root);
        add_file("a.mp3", 3);
        add_file(
            "C\xC3\xA9line - \xC3\x87"
            "a.flac",
            10);
        add_file(".hidden file", 1);
        add_file("Rock/b.mp3", 5);
        add_file("Rock/Live/c.mp3", 0);
        add_file(".hidden/never listed.mp3", 0);
        add_file("deep/1/2/3/4/5/6/7/8/x.ogg", 7);
        fs::create_directories(root / "empty");
        std::error_code ignored;
        // A folder link back up the tree: the walk must not go round it for ever.
        fs::create_directory_symlink(root / "deep", root / "deep/1/2/loop", ignored);
    }
    music_tree(const music_tree&) = delete;
    music_tree& operator=(const music_tree&) = delete;
    ~music_tree() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    void add_file(const std::string& relative, std::size_t size) const {
        const fs::path file = root / fs::path(std::u8string(relative.begin(), relative.end()));
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << std::string(size, 'x');
    }

    std::string text(const std::string& relative = std::string()) const {
        const std::u8string path = (relative.empty() ? root : root / relative).u8string();
        return std::string(path.begin(), path.end());
    }

    fs::path root;
};

music_tree* tree = nullptr;

string8 fuzz_player::get_playing_path() {
    switch (input_.back_byte() % 5) {
        case 0:
            return string8();
        case 1:
            return string8(tree->text("a.mp3").c_str());
        case 2:
            return string8(tree->text("Rock").c_str());
        case 3:
            return string8(tree->text("missing.mp3").c_str());
        default: {
            const std::string any = input_.back_text(64);
            return string8(any.data(), any.size());
        }
    }
}

void fuzz_player::get_playing_title(string8& out) {
    const std::uint8_t kind = input_.back_byte();
    std::string title;
    if (kind < 240) {
        title = input_.back_text(255);
    } else {
        // Longer than one growth step of the reply buffer.
        std::string piece = input_.back_text(8);
        if (piece.empty()) {
            piece = "\xE2\x99\xAA";
        }
        const std::size_t length = 60000 + static_cast<std::size_t>(input_.back_u16()) * 2;
        while (title.size() < length) {
            title += piece;
        }
    }
    out = string8(title.data(), title.size());
    last_.title = std::string(out.view());
}

// Parses a folder listing: records of (flags, name, 0x00) up to the end mark FF 00.
void check_listing(std::string_view body) {
    std::size_t at = 0;
    bool first = true;
    while (at < body.size() && static_cast<std::uint8_t>(body[at]) != 0xFF) {
        const auto flags = static_cast<std::uint8_t>(body[at]);
        const std::uint8_t position = flags >> 4;
        const std::uint8_t kind = flags & 0x0F;
        if (first) {
            require(flags == 0x01, "listing starts with the root");
        } else {
            require(position >= 1 && position <= 4 && kind >= 1 && kind <= 3, "listing flags");
        }
        first = false;
        const std::size_t end = body.find('\0', at + 1);
        require(end != std::string_view::npos, "listing name without its zero byte");
        require(body.substr(at + 1, end - at - 1).find('\xFF') == std::string_view::npos,
                "listing name holds 0xFF");
        at = end + 1;
    }
    require(body.size() - at == 2 && body.substr(at) == std::string_view("\xFF\0", 2),
            "listing ends with FF 00 and nothing after");
}

void check_playlist(std::string_view reply, const answers& player) {
    require(reply.size() >= 11, "PLSTACK too short");
    require(reply.substr(reply.size() - 4) == std::string_view("\0\0\0\0", 4),
            "PLSTACK ends with four zero bytes");
    if (player.playlist_size > 65535) {
        require(reply.size() == 11, "an oversized playlist sends no titles");
        return;
    }
    const std::string_view lines = reply.substr(9, reply.size() - 13);
    for (char c : lines) {
        require(static_cast<std::uint8_t>(c) < 0x80, "playlist line is not ASCII");
    }
}

void check_info(std::string_view reply, const answers& player) {
    // INF2 answers with INFO's reply and a zero byte after the title, in the same write.
    if (reply.size() == 19 + player.title.size() && reply.back() == '\0') {
        reply.remove_suffix(1);
    }
    require(reply.size() == 18 + player.title.size(), "INFOACK length");
    const std::uint8_t state = (player.playing ? 1 : 0) | (player.paused ? 2 : 0);
    require(static_cast<std::uint8_t>(reply[7]) == state, "INFOACK state bits");
    require(wire_u32(reply, 8) == static_cast<std::uint32_t>(player.length), "INFOACK length");
    require(wire_u32(reply, 12) == static_cast<std::uint32_t>(player.position), "INFOACK position");
    require(reply[16] == (player.shuffle ? 1 : 0) && reply[17] == (player.repeat ? 1 : 0),
            "INFOACK switches");
    require(reply.substr(18) == player.title, "INFOACK title");
}

// Every write is one whole reply.
void check_reply(std::string_view reply, const answers& player) {
    if (reply.size() == 1) {
        require(reply[0] == 'Y', "the one-byte reply is CHCK's Y");
        return;
    }
    if (reply.size() == 2) {
        const auto count = static_cast<std::uint16_t>(player.playlist_size);
        require(static_cast<std::uint8_t>(reply[0]) == count >> 8 &&
                    static_cast<std::uint8_t>(reply[1]) == (count & 0xFF),
                "PLEN sends the count's low 16 bits");
        return;
    }
    require(reply.size() >= 7 && reply.substr(4, 3) == "ACK", "reply starts with its token");
    const std::string_view token = reply.substr(0, 4);
    if (token == "INFO") {
        check_info(reply, player);
    } else if (token == "GVOL") {
        require(reply.size() == 8 && static_cast<std::uint8_t>(reply[7]) == player.volume,
                "GVOLACK");
    } else if (token == "VERS") {
        require(reply == std::string_view("VERSACK\x01\x49", 9), "VERSACK");
    } else if (token == "DINF") {
        require(reply.size() == 19 &&
                    wire_u32(reply, 7) == static_cast<std::uint32_t>(player.bitrate) &&
                    wire_u32(reply, 11) == static_cast<std::uint32_t>(player.info_value_2) &&
                    wire_u32(reply, 15) == static_cast<std::uint32_t>(player.info_value_3),
                "DINFACK");
    } else if (token == "FINF") {
        require(reply.size() == 11, "FINFACK length");
    } else if (token == "PLST") {
        check_playlist(reply, player);
    } else if (token == "LIST") {
        check_listing(reply.substr(7));
    } else {
        fail("unknown reply token");
    }
}

// The phone's end of the link: reads take the input's front, writes are checked at once.
class fuzz_connection final : public connection {
  public:
    fuzz_connection(two_ended_input& input, const fuzz_player& player)
        : input_(input), player_(player) {}

    bool open() override { return true; }
    void close() override {}
    int write(const void* bytes, std::size_t count) override {
        // Called on the link's writer thread: a listing's check reads nothing else, and every
        // other reply is written before the next command runs.
        check_reply(std::string_view(static_cast<const char*>(bytes), count), player_.last());
        return static_cast<int>(count);
    }
    int write_buffer(const reply_buffer& buffer) override {
        return write(buffer.data(), buffer.size());
    }
    int read(void* buffer, std::size_t count) override {
        return static_cast<int>(input_.take_front(buffer, count));
    }
    void set_port_name(string8 /*name*/) override {}

  private:
    two_ended_input& input_;
    const fuzz_player& player_;
};

// The player around the link: the fuzzing thread is its main thread, and its console takes
// only the lines a phone can cause.
class fuzz_console final : public corvina::console {
  public:
    int service_release() override { return 1; }
    int service_add_ref() override { return 1; }
    bool service_query(corvina::service_base*& /*out*/, const corvina::guid& /*cls*/) override {
        return false;
    }
    void print(const char* text, std::size_t length) override {
        const std::string_view line =
            length == corvina::whole_text ? std::string_view(text) : std::string_view(text, length);
        // A LIST over music folders some of which cannot be listed says how many it left out.
        const bool unlisted_folders = line.starts_with("ERROR : Could not list ") &&
                                      (line.ends_with(" folder.") || line.ends_with(" folders."));
        require(line == "ERROR : Read error!" ||
                    line ==
                        "ERROR : The playlist exceeds 65535 songs, it cannot be uploaded to the "
                        "phone!" ||
                    unlisted_folders,
                "unexpected console line");
    }
};

class fuzz_host final : public corvina::host_api {
  public:
    class_handle find_class(const corvina::guid& cls) override {
        return cls == corvina::class_guids::console ? &console_ : nullptr;
    }
    bool create_instance(corvina::service_base*& out, class_handle cls,
                         std::size_t index) override {
        if (cls != &console_ || index != 0) {
            return false;
        }
        if (out != nullptr) {
            out->service_release();
        }
        out = &console_;
        out->service_add_ref();
        return true;
    }
    std::size_t instance_count(class_handle cls) override { return cls == &console_ ? 1 : 0; }
    corvina::window_handle main_window() override { return nullptr; }
    bool is_main_thread() override { return std::this_thread::get_id() == main_thread_; }

  private:
    fuzz_console console_;
    const std::thread::id main_thread_ = std::this_thread::get_id();
};

string8 music_folders_for(std::uint8_t pick) {
    const std::string missing = tree->text("no such folder");
    switch (pick % 5) {
        case 0:
            return string8(tree->text().c_str());
        case 1:
            return string8((tree->text() + ";" + tree->text("Rock")).c_str());
        case 2:
            return string8(
                (tree->text("Rock") + ";" + missing + ";" + tree->text(".hidden")).c_str());
        case 3:
            return string8(missing.c_str());
        default:
            return string8(tree->text("a.mp3").c_str());  // a file, not a folder
    }
}

}  // namespace
}  // namespace tessel::fuzz

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    static tessel::fuzz::music_tree made;
    tessel::fuzz::tree = &made;
    static tessel::fuzz::fuzz_host player;
    tessel::host().api = &player;
    tessel::host().services_available = true;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessel;
    fuzz::two_ended_input input(data, size);
    fuzz::fuzz_player player(input);
    auto owned = std::make_unique<fuzz::fuzz_connection>(input, player);
    connection& wire = *owned;
    phone_link link(std::move(owned), player);
    link.set_music_folders(fuzz::music_folders_for(input.back_byte()));
    link.set_next_random((input.back_byte() & 1) != 0);
    for (;;) {
        std::uint8_t code[4];
        if (wire.read(code, sizeof code) != sizeof code) {
            break;
        }
        link.process_command(command_code_from_wire(code));
        // Each reply is checked against the player as its command left it.
        link.replies().drain();
    }
    link.join_list_worker(false);
    link.replies().drain();
    return 0;
}
