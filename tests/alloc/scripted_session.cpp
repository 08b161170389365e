#include "tests/alloc/scripted_session.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>

#include "corvina/class_guids.h"
#include "corvina/dialogs.h"
#include "corvina/posix_windows.h"
#include "corvina/service.h"
#include "host/preferences_layout.h"
#include "standin/player/config_store.h"
#include "standin/player/module_loader.h"
#include "standin/player/playback_model.h"
#include "standin/player/player_host.h"
#include "standin/player/track_object.h"
#include "support/string8.h"
#include "tests/alloc/failing_heap.h"
#include "tests/transport/serial_peer.h"

namespace tessel::test {

namespace {

using namespace std::chrono_literals;
using clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
namespace windows = corvina::posix_windows;
namespace dialogs = corvina::dialogs;

// The settings' GUIDs, as the component stores them.
constexpr corvina::guid com_port_id{
    0x3A288ADA, 0x2D70, 0x419F, {0x9A, 0x23, 0x11, 0x75, 0x90, 0xC8, 0x00, 0xA9}};
constexpr corvina::guid music_directory_id{
    0x05E9A1C5, 0x7427, 0x4C79, {0xB8, 0x4F, 0xAA, 0x35, 0x8A, 0xC3, 0xDB, 0x6D}};
constexpr corvina::guid title_format_id{
    0x3C5362C6, 0x5B43, 0x4B3F, {0xA7, 0xC0, 0x95, 0x41, 0x4A, 0x4F, 0x63, 0xC0}};
constexpr corvina::guid auto_connect_id{
    0xD785C63A, 0x0D05, 0x4DBD, {0xB0, 0x86, 0x46, 0xF2, 0xD9, 0x52, 0x68, 0x40}};
constexpr corvina::guid shuffle_next_random_id{
    0xE95D2165, 0x51F3, 0x4AD0, {0x97, 0x2A, 0x32, 0xD7, 0xE1, 0x04, 0x32, 0x92}};
constexpr corvina::guid use_specific_playlist_id{
    0x9295BB38, 0xC155, 0x4498, {0x82, 0x69, 0x2A, 0x6A, 0x0E, 0xA8, 0x10, 0x9B}};
constexpr corvina::guid specific_playlist_id{
    0xA571FDAC, 0xB494, 0x4D31, {0xBF, 0xA7, 0x1D, 0x94, 0x4F, 0xCE, 0x3A, 0x4B}};

using namespace preferences_layout;  // the page's controls

constexpr std::size_t playlist_items = 300;
constexpr int big_folder_tracks = 280;
constexpr std::size_t big_folder_name_length = 240;  // 280 of them: past 64 KiB
constexpr std::size_t long_title_length = 150000;    // past the playlist reply's first buffer
constexpr const char* new_title_format = "%title% (%artist%)";

using setting_values = std::map<std::string, std::string>;  // GUID bytes -> stored data
using byte_vector = standin::byte_vector;

std::string key_of(const corvina::guid& id) {
    return std::string(reinterpret_cast<const char*>(&id), sizeof id);
}

std::string int_data(int value) {
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i) {
        data[static_cast<std::size_t>(i)] =
            static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * i));
    }
    return data;
}

byte_vector blob_of(const setting_values& values) {
    byte_vector blob;
    for (const auto& [key, data] : values) {
        blob.insert(blob.end(), key.begin(), key.end());
        const std::string length = int_data(static_cast<int>(data.size()));
        blob.insert(blob.end(), length.begin(), length.end());
        blob.insert(blob.end(), data.begin(), data.end());
    }
    return blob;
}

// The records of a blob; nothing when one is cut short or a setting comes twice.
std::optional<setting_values> records_of(const byte_vector& blob) {
    setting_values values;
    std::size_t at = 0;
    while (at < blob.size()) {
        if (blob.size() - at < 20) {
            return std::nullopt;
        }
        const std::string key(reinterpret_cast<const char*>(blob.data() + at), 16);
        std::uint32_t length = 0;
        for (int i = 0; i < 4; ++i) {
            length |= static_cast<std::uint32_t>(blob[at + 16 + static_cast<std::size_t>(i)])
                      << (8 * i);
        }
        at += 20;
        if (blob.size() - at < length) {
            return std::nullopt;
        }
        if (!values
                 .emplace(key, std::string(reinterpret_cast<const char*>(blob.data() + at), length))
                 .second) {
            return std::nullopt;
        }
        at += length;
    }
    return values;
}

std::string be32(std::uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
            static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string wire_string(const std::string& text) {
    return std::string{static_cast<char>(text.size() >> 8), static_cast<char>(text.size())} + text;
}

struct command_step {
    std::string name;
    std::string bytes;  // the code and its arguments
    bool replies;
};

// Every one of the 28 commands, each with its arguments.
std::vector<command_step> command_script(const session_stage& stage) {
    const std::string add_path = stage.track_path("albumA/a2.mp3");
    const std::string play_path = stage.track_path("albumB/b1.mp3");
    return {
        {"CHCK", "CHCK", true},
        {"VERS", "VERS", true},
        {"GVOL", "GVOL", true},
        {"INFO", "INFO", true},
        {"INF2", "INF2", true},
        {"PLEN", "PLEN", true},
        {"DINF", "DINF", true},
        {"FINF", "FINF" + wire_string("x"), true},
        {"PLST", "PLST", true},
        {"LIST", "LIST", true},
        {"DLST", "DLST" + wire_string(stage.big_folder().string()), true},
        {"SEEK", "SEEK" + be32(10), false},
        {"SLCT", "SLCT" + std::string("\x00\x01", 2), false},
        {"VOLM", "VOLM" + std::string("\x32", 1), false},
        {"SHFL", "SHFL" + std::string("\x01", 1), false},
        {"REPT", "REPT" + std::string("\x00", 1), false},
        {"FFWD", "FFWD", false},
        {"RWND", "RWND", false},
        {"PAUS", "PAUS", false},
        {"STRT", "STRT", false},
        {"NEXT", "NEXT", false},
        {"PREV", "PREV", false},
        {"STEN", "STEN", false},
        {"FADE", "FADE", false},
        {"STOP", "STOP", false},
        {"PLAY", "PLAY" + wire_string(play_path), false},
        {"LADD", "LADD" + wire_string(add_path), false},
        {"RMAL", "RMAL", false},
    };
}

class console_lines {
  public:
    void add(std::string_view line) {
        const std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(line);
    }
    std::vector<std::string> since(std::size_t first) const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return {lines_.begin() + static_cast<std::ptrdiff_t>(std::min(first, lines_.size())),
                lines_.end()};
    }
    std::size_t size() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return lines_.size();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

bool is_error(const std::string& line) {
    return line.rfind("ERROR : ", 0) == 0;
}

std::size_t count_errors(const std::vector<std::string>& lines) {
    return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), is_error));
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += (text.empty() ? "" : " | ") + line;
    }
    return "[" + text + "]";
}

class session {
  public:
    session(const session_stage& stage, reply_sizes& replies)
        : stage_(stage), replies_(replies), player_(host_settings()) {}

    session_outcome run(std::size_t fail_at) {
        prepare_player();
        failing_heap::arm(fail_at);
        load_module();
        if (entry_ != nullptr) {
            run_with_module();
        }
        step("unload");
        module_.reset();
        check_unloaded();
        note_failure();
        failing_heap::disarm();
        outcome_.allocations = failing_heap::count();
        if (std::getenv("TESSEL_SWEEP_CONSOLE") != nullptr) {
            for (const std::string& line : console_.since(0)) {
                std::fprintf(stderr, "console: %s\n", line.c_str());
            }
        }
        if (!failing_heap::has_failed() && fail_at == 0) {
            const std::size_t errors = count_errors(console_.since(0));
            if (errors != 0) {
                problem("a clean session logged errors: " + joined(console_.since(0)));
            }
        }
        return std::move(outcome_);
    }

  private:
    standin::player_host_settings host_settings() {
        standin::player_host_settings host;
        host.random_seed = 7;
        host.console = [this](std::string_view line) { console_.add(line); };
        // The playback clock is asked inside a command: there the player runs what the user
        // does meanwhile, as the player's modal loops do.
        host.clock = [this] {
            if (during_command_) {
                std::exchange(during_command_, nullptr)();
            }
            return standin::steady_clock_seconds();
        };
        return host;
    }

    void problem(const std::string& what) { outcome_.problems.push_back(step_ + ": " + what); }

    // Records the step in which the chosen allocation failed, once.
    void note_failure() {
        if (outcome_.failed_in.empty() && failing_heap::has_failed()) {
            outcome_.failed_in = step_;
        }
    }

    void step(std::string name) {
        note_failure();
        if (std::getenv("TESSEL_SWEEP_TIMES") != nullptr) {
            const auto now = clock::now();
            std::fprintf(
                stderr, "%s: %lld ms\n", step_.c_str(),
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(now - started_).count()));
            started_ = now;
        }
        step_ = std::move(name);
    }

    // True when the chosen allocation failed during the current step.
    bool failed_here() {
        note_failure();
        return outcome_.failed_in == step_;
    }

    // A call from the player into the component: whatever comes out of it is a fault.
    void call(const char* what, const std::function<void()>& operation) {
        try {
            operation();
        } catch (const std::exception& failure) {
            problem(std::string("an exception reached the player from ") + what + ": " +
                    failure.what());
        } catch (...) {
            problem(std::string("an exception reached the player from ") + what);
        }
    }

    // Serves the main thread's sends until done() or the limit.
    bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto deadline = clock::now() + limit;
        while (!done()) {
            if (clock::now() >= deadline) {
                return false;
            }
            call("a window procedure", [] { windows::pump_wait(2); });
        }
        return true;
    }

    // Serves sends until one has run (a hand-off), or the limit.
    bool pump_one(std::chrono::milliseconds limit) {
        std::size_t ran = 0;
        const auto deadline = clock::now() + limit;
        while (ran == 0 && clock::now() < deadline) {
            call("a window procedure", [&] { ran += windows::pump_wait(2); });
        }
        return ran != 0;
    }

    // Collects what the phone receives until it has been quiet for the gap.
    std::string drain(std::chrono::milliseconds gap) {
        std::string got;
        for (;;) {
            const std::string more = peer_.receive(1 << 20, gap);
            if (more.empty()) {
                return got;
            }
            got += more;
        }
    }

    // Whether the console's last word on the link is that it went down: the phone, which
    // cannot talk to a link that is down, sends nothing (the terminal would keep it for the
    // next opening).
    bool link_is_down() const {
        const auto lines = console_.since(0);
        for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
            if (*line == "Deactivated") {
                return true;
            }
            if (*line == "Activated" || *line == "Connected.") {
                return false;
            }
        }
        return true;
    }

    // The phone's recovery: a quiet moment, then CHCK until "Y" comes back.
    bool answers_check() {
        if (link_is_down()) {
            return false;
        }
        for (int attempt = 0; attempt < 3; ++attempt) {
            drain(attempt == 0 ? 5ms : 150ms);
            if (!peer_.send("CHCK")) {
                return false;
            }
            std::string got;
            const auto deadline = clock::now() + 1s;
            while (clock::now() < deadline && got.empty()) {
                pump_until([] { return false; }, 2ms);
                got += peer_.receive(1, 5ms);
            }
            if (got == "Y") {
                return true;
            }
        }
        return false;
    }

    void prepare_player() {
        standin::playlist_model& playlists = player_.playlists();
        const std::size_t list = playlists.create_playlist("Default");
        std::vector<service_ptr<standin::track_object>> tracks;
        standin::track_metadata long_one;
        long_one.tags["title"] = std::string(long_title_length, 'L');
        long_one.tags["artist"] = "Someone";
        long_one.length = 200.0;
        tracks.push_back(
            standin::make_counted<standin::track_object>(stage_.track_path("top.mp3"), long_one));
        for (std::size_t i = 1; i < playlist_items; ++i) {
            standin::track_metadata metadata;
            metadata.tags["title"] = "Track " + std::to_string(i);
            metadata.tags["artist"] = "Band";
            metadata.length = 180.0;
            tracks.push_back(standin::make_counted<standin::track_object>(
                stage_.track_path("albumA/a1.mp3"), metadata));
        }
        playlists.insert(list, standin::no_index, tracks, {});
        player_.playback().play_item(list, 0);
        tracks_ = std::move(tracks);

        earlier_ = {
            {key_of(com_port_id), peer_.port_name()},
            {key_of(music_directory_id), stage_.music().string()},
            {key_of(title_format_id), "%title%"},
            {key_of(auto_connect_id), int_data(1)},
            {key_of(shuffle_next_random_id), int_data(0)},
            {key_of(use_specific_playlist_id), int_data(0)},
            {key_of(specific_playlist_id), int_data(0)},
        };
        changed_ = earlier_;
        changed_[key_of(music_directory_id)] = (stage_.music() / "albumA").string();
        changed_[key_of(title_format_id)] = new_title_format;
        changed_[key_of(auto_connect_id)] = int_data(0);
        changed_[key_of(shuffle_next_random_id)] = int_data(1);
    }

    void load_module() {
        step("module load");
        try {
            module_.emplace(stage_.module_path());
        } catch (const std::exception& failure) {
            // A module whose loading failed is the player's to report; it must not crash.
            problem(std::string("the module did not load: ") + failure.what());
            return;
        }
        const auto get_interface = reinterpret_cast<corvina::get_interface_function>(
            module_->find_symbol(corvina::entry_point_name));
        if (get_interface == nullptr) {
            problem("no entry point");
            return;
        }
        step("module entry");
        call("the entry point", [&] { entry_ = get_interface(&player_.api(), module_->handle()); });
        if (entry_ == nullptr) {
            problem("the entry point answered no component");
        }
    }

    void walk_factories() {
        step("factories");
        call("the factories", [&] {
            for (corvina::service_factory_base* factory = entry_->first_factory();
                 factory != nullptr; factory = factory->next()) {
                service_ptr<corvina::service_base> instance;
                factory->instance_create(instance.receive());
                const corvina::guid& cls = factory->class_guid();
                if (!instance) {
                    continue;
                }
                if (cls == corvina::class_guids::initquit) {
                    initquit_ = service_ptr<corvina::initquit>(
                        static_cast<corvina::initquit*>(instance.get()));
                } else if (cls == corvina::class_guids::preferences_page) {
                    page_ = service_ptr<corvina::preferences_page>(
                        static_cast<corvina::preferences_page*>(instance.get()));
                    page_->get_name();
                } else if (cls == corvina::class_guids::componentversion) {
                    auto* version = static_cast<corvina::componentversion*>(instance.get());
                    string8 name;
                    string8 number;
                    version->get_component_name(name);
                    version->get_component_version(number);
                }
            }
        });
        if (!initquit_ || !page_) {
            problem("the factory chain lacks the start-up service or the page");
        }
    }

    void run_with_module() {
        walk_factories();
        if (!initquit_ || !page_) {
            return;
        }
        step("settings load");
        const byte_vector blob = blob_of(earlier_);
        standin::never_abort abort;
        call("load_configuration", [&] {
            standin::memory_config_reader reader(blob);
            entry_->load_configuration(reader, abort);
        });
        call("set_paths", [&] { entry_->set_paths("/tmp", stage_.module_path().c_str()); });
        call("set_services_available", [&] { entry_->set_services_available(true); });

        step("start-up");
        const std::size_t first_line = console_.size();
        call("on_startup", [&] { initquit_->on_startup(); });
        await_activation(first_line, "start-up");

        const std::vector<command_step> script = command_script(stage_);
        const bool reference = replies_.sizes.empty();
        for (std::size_t index = 0; index < script.size() && link_up_; ++index) {
            run_command(script[index], index, reference);
        }

        if (link_up_) {
            connect_during_a_command();
        }

        change_settings_on_the_page();

        step("settings save");
        standin::memory_config_writer writer;
        call("save_configuration", [&] { entry_->save_configuration(writer, abort); });
        check_saved(writer.bytes());

        shut_down_during_a_command();
        call("set_services_available", [&] { entry_->set_services_available(false); });
        initquit_.reset();
        page_.reset();
    }

    // After an activation: the link answers, or the failure hit the activation, which then
    // left it inactive with one error line, and a Connect brings it up.
    void await_activation(std::size_t first_line, const char* what) {
        pump_until(
            [&] {
                const auto lines = console_.since(first_line);
                return std::find(lines.begin(), lines.end(), "Activated") != lines.end() ||
                       std::find(lines.begin(), lines.end(), "Deactivated") != lines.end();
            },
            2s);
        if (answers_check()) {
            return;
        }
        if (outcome_.failed_in == "settings load") {
            // The port's setting could not be loaded: the user types it in and connects.
        } else if (!failed_here()) {
            problem(std::string("the link does not answer after ") + what + ": " +
                    joined(console_.since(first_line)));
            link_up_ = false;
            return;
        } else if (count_errors(console_.since(first_line)) != 1) {
            problem(std::string("a failed ") + what + " logged " +
                    joined(console_.since(first_line)));
        }
        step(std::string(what) + ", connecting again");
        connect_on_the_page();
    }

    // Serves the main thread until the link says it is up (or a moment has passed).
    void await_activated(std::size_t first_line) {
        pump_until(
            [&] {
                const auto lines = console_.since(first_line);
                return std::find(lines.begin(), lines.end(), "Activated") != lines.end();
            },
            2s);
    }

    // Opens the page, clicks Connect, closes the page; the link must answer afterwards.
    void connect_on_the_page() {
        corvina::window_handle dialog = nullptr;
        call("the page's create", [&] { dialog = page_->create(nullptr); });
        if (dialog == nullptr) {
            problem("the page did not open");
            return;
        }
        const std::size_t first_line = console_.size();
        call("the page's procedure", [&] {
            dialogs::type_text(dialog, com_port_combo, peer_.port_name().c_str());
            dialogs::click(dialog, connect_button);
        });
        await_activated(first_line);
        if (!answers_check()) {
            problem("the link does not answer after a Connect: " +
                    joined(console_.since(first_line)));
            link_up_ = false;
        }
        call("the page's destruction", [&] { dialogs::destroy_dialog(dialog); });
    }

    void run_command(const command_step& command, std::size_t index, bool reference) {
        step("command " + command.name);
        const std::size_t first_line = console_.size();
        const bool failed_before = failing_heap::has_failed();
        if (!peer_.send(command.bytes)) {
            problem("the phone could not send");
            return;
        }
        const bool handed_over = pump_one(1s);
        std::string reply;
        if (command.replies) {
            if (reference) {
                reply = peer_.receive(1, 2s) + drain(100ms);
                replies_.sizes.push_back(reply.size());
            } else {
                const std::size_t expected = replies_.sizes.at(index);
                const auto limit = failing_heap::has_failed() ? 100ms : 3s;
                reply = peer_.receive(expected, limit);
                if (reply.size() == expected && failing_heap::has_failed()) {
                    reply += drain(5ms);
                }
            }
        }
        if (failed_here()) {
            const auto lines = console_.since(first_line);
            if (lines.size() > 1) {
                problem("the dropped command logged " + joined(lines));
            }
            if (!reply.empty() && reply.size() != replies_.sizes.at(index)) {
                problem("a reply of " + std::to_string(reply.size()) + " bytes, not none or " +
                        std::to_string(replies_.sizes.at(index)));
            }
            if (!answers_check()) {
                problem("the link does not answer CHCK after the failure: " +
                        joined(console_.since(first_line)));
                link_up_ = false;
            }
            return;
        }
        if (!handed_over) {
            problem("the command never reached the main thread");
        }
        if (failed_before) {
            return;  // later replies may differ from a clean session's
        }
        if (command.replies && !reference && reply.size() != replies_.sizes.at(index)) {
            problem("a reply of " + std::to_string(reply.size()) + " bytes, not " +
                    std::to_string(replies_.sizes.at(index)));
        }
        if (command.replies && reply.empty()) {
            problem("no reply");
        }
        const auto lines = console_.since(first_line);
        if (count_errors(lines) != 0) {
            problem("errors without a failure: " + joined(lines));
        }
    }

    // The playback clock is asked while a track plays.
    void play_something() {
        standin::playlist_model& playlists = player_.playlists();
        playlists.insert(0, standin::no_index, {tracks_.back()}, {});
        player_.playback().play_item(0, playlists.item_count(0) - 1);
    }

    // Runs a status command during which the player does what is given; answers whether it
    // got to it.
    bool during_a_command(std::function<void()> action) {
        play_something();
        during_command_ = std::move(action);
        if (peer_.send("INFO")) {
            pump_one(1s);
        }
        drain(5ms);
        return !std::exchange(during_command_, nullptr);
    }

    // Connect clicked while a command runs: the link connects again once the command returns.
    void connect_during_a_command() {
        step("Connect during a command");
        const std::size_t first_line = console_.size();
        const bool clicked = during_a_command([this] {
            corvina::window_handle dialog = nullptr;
            call("the page's create", [&] { dialog = page_->create(nullptr); });
            if (dialog == nullptr) {
                return;
            }
            call("the page's procedure", [&] {
                dialogs::type_text(dialog, com_port_combo, peer_.port_name().c_str());
                dialogs::click(dialog, connect_button);
            });
            call("the page's destruction", [&] { dialogs::destroy_dialog(dialog); });
        });
        if (!clicked) {
            problem("the command asked nothing of the player");
            return;
        }
        await_activated(first_line);
        if (answers_check()) {
            return;
        }
        if (!failed_here()) {
            problem("the link does not answer after the Connect: " +
                    joined(console_.since(first_line)));
        } else if (count_errors(console_.since(first_line)) > 1) {
            problem("a failed Connect logged " + joined(console_.since(first_line)));
        }
        step("Connect during a command, connecting again");
        connect_on_the_page();
    }

    // The player shuts down while a command runs: the link stops once the command returns.
    void shut_down_during_a_command() {
        step("shut-down during a command");
        const auto shut_down = [this] { call("on_shutdown", [&] { initquit_->on_shutdown(); }); };
        if (!link_up_ || !during_a_command(shut_down)) {
            shut_down();
        }
        // The reader let go in its hand-off ends as it returns; the player goes on meanwhile.
        pump_until([] { return false; }, 20ms);
    }

    void change_settings_on_the_page() {
        step("page");
        corvina::window_handle dialog = nullptr;
        call("the page's create", [&] { dialog = page_->create(nullptr); });
        if (dialog == nullptr) {
            if (!failed_here()) {
                problem("the page did not open");
                return;
            }
            step("page, opened again");
            call("the page's create", [&] { dialog = page_->create(nullptr); });
            if (dialog == nullptr) {
                problem("the page did not open again");
                return;
            }
        }
        const std::string music = (stage_.music() / "albumA").string();
        call("the page's procedure", [&] {
            dialogs::type_text(dialog, title_format_edit, new_title_format);
            dialogs::type_text(dialog, music_directory_edit, music.c_str());
            dialogs::click(dialog, shuffle_next_random_check);
            dialogs::click(dialog, auto_connect_check);
            dialogs::type_text(dialog, com_port_combo, peer_.port_name().c_str());
        });

        step("Connect");
        const std::size_t first_line = console_.size();
        call("the page's procedure", [&] { dialogs::click(dialog, connect_button); });
        await_activated(first_line);
        if (!answers_check()) {
            if (!failed_here()) {
                problem("the link does not answer after Connect: " +
                        joined(console_.since(first_line)));
            } else {
                if (count_errors(console_.since(first_line)) != 1) {
                    problem("a failed Connect logged " + joined(console_.since(first_line)));
                }
                step("Connect again");
                const std::size_t again = console_.size();
                call("the page's procedure", [&] { dialogs::click(dialog, connect_button); });
                await_activated(again);
                if (!answers_check()) {
                    problem("the link does not answer after a second Connect: " +
                            joined(console_.since(again)));
                }
            }
        }
        call("the page's destruction", [&] { dialogs::destroy_dialog(dialog); });
    }

    // Whole records, each setting once, each holding its earlier or its new value; the new
    // ones all when nothing failed.
    void check_saved(const byte_vector& blob) {
        const std::optional<setting_values> saved = records_of(blob);
        if (!saved) {
            problem("the saved settings are cut (" + std::to_string(blob.size()) + " bytes)");
            return;
        }
        if (!failing_heap::has_failed() && *saved != changed_) {
            problem("the saved settings are not the new ones");
            return;
        }
        if (saved->size() != earlier_.size()) {
            problem("the saved settings hold " + std::to_string(saved->size()) + " records");
            return;
        }
        for (const auto& [key, data] : *saved) {
            const auto earlier = earlier_.find(key);
            if (earlier == earlier_.end()) {
                problem("an unknown setting was saved");
            } else if (data != earlier->second && data != changed_.at(key)) {
                problem("a setting was saved as \"" + data + "\", neither its earlier value \"" +
                        earlier->second + "\" nor its new one \"" + changed_.at(key) + "\"");
            }
        }
    }

    // The module is gone once the player let it go (a thread that kept it gets a moment).
    void check_unloaded() {
        const auto deadline = clock::now() + 2s;
        for (;;) {
            void* still = dlopen(stage_.module_path().c_str(), RTLD_NOW | RTLD_NOLOAD);
            if (still == nullptr) {
                return;
            }
            dlclose(still);
            if (clock::now() >= deadline) {
                problem("the module stayed loaded");
                return;
            }
            std::this_thread::sleep_for(5ms);
        }
    }

    const session_stage& stage_;
    reply_sizes& replies_;
    console_lines console_;
    standin::player_host player_;
    serial_peer peer_;
    setting_values earlier_;
    setting_values changed_;
    std::vector<service_ptr<standin::track_object>> tracks_;
    std::function<void()> during_command_;
    std::optional<standin::loaded_module> module_;
    corvina::component_entry* entry_ = nullptr;
    service_ptr<corvina::initquit> initquit_;
    service_ptr<corvina::preferences_page> page_;
    bool link_up_ = true;  // false: the commands are not tried
    std::string step_;
    clock::time_point started_ = clock::now();
    session_outcome outcome_;
};

}  // namespace

session_stage::session_stage(std::string module_path)
    : module_path_(std::move(module_path)),
      music_(fs::temp_directory_path() / ("tessel_alloc_" + std::to_string(::getpid()))) {
    fs::remove_all(music_);
    for (const char* folder : {"albumA", "albumB", "albumB/disc2"}) {
        fs::create_directories(music_ / folder);
    }
    for (const char* file : {"top.mp3", "albumA/a1.mp3", "albumA/a2.mp3", "albumB/b1.mp3",
                             "albumB/disc2/c1.mp3", "albumB/cover.jpg"}) {
        std::ofstream(music_ / file) << "not really audio";
    }
    // A folder whose listing outgrows a listing reply's first buffer, so that a failure can hit
    // a DLST's reply (and the LIST's) part way.
    fs::create_directories(big_folder());
    for (int track = 0; track < big_folder_tracks; ++track) {
        const std::string number = std::to_string(1000 + track);
        std::ofstream(big_folder() /
                      (std::string(big_folder_name_length - 8, 'n') + number + ".mp3"))
            << "not really audio";
    }
}

session_stage::~session_stage() {
    std::error_code ignored;
    fs::remove_all(music_, ignored);
}

std::filesystem::path session_stage::big_folder() const {
    return music_ / "long names";
}

std::string session_stage::track_path(const char* name) const {
    return (music_ / name).string();
}

session_outcome run_session(const session_stage& stage, std::size_t fail_at, reply_sizes& replies) {
    session one(stage, replies);
    return one.run(fail_at);
}

}  // namespace tessel::test
