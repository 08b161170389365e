#include "standin/player/player_host.h"

#include <cstdio>
#include <deque>
#include <mutex>

#include "corvina/class_guids.h"
#include "standin/player/media_files.h"

namespace standin {
namespace {

namespace guids = corvina::class_guids;

constexpr std::string_view file_scheme = "file://";
constexpr const char* help_address = "https://help.corvina.example/";

std::string text_of(const char* text, std::size_t length) {
    if (text == nullptr) {
        return {};
    }
    if (length == corvina::whole_text) {
        return text;
    }
    std::size_t n = 0;
    while (n < length && text[n] != '\0') {
        ++n;
    }
    return std::string(text, n);
}

class console_service final : public player_service<corvina::console> {
  public:
    explicit console_service(line_sink sink)
        : player_service(guids::console), sink_(std::move(sink)) {}

    void print(const char* text, std::size_t length) override { print_line(text_of(text, length)); }

    void print_line(std::string_view line) {
        std::lock_guard lock(mutex_);
        if (sink_) {
            sink_(line);
        }
    }

  private:
    std::mutex mutex_;
    line_sink sink_;
};

class version_service final : public player_service<corvina::version_info> {
  public:
    version_service() : player_service(guids::version_info) {}
    const char* get_version_string() override { return player_version_text; }
};

class menu_service final : public player_service<corvina::menu_commands> {
  public:
    explicit menu_service(console_service& console)
        : player_service(guids::menu_commands), console_(console) {}

    std::uint32_t get_command_count() override { return 1; }
    corvina::guid* get_command(corvina::guid* out, std::uint32_t index) override {
        *out = index == 0 ? help_command_guid : corvina::guid{};
        return out;
    }
    void execute(std::uint32_t index, corvina::service_base* /*callback*/) override {
        if (index == 0) {
            console_.print_line(std::string("Help: would open ") + help_address + "titleformat/");
        }
    }

  private:
    console_service& console_;
};

class playlist_service final : public player_service<corvina::playlist_service> {
  public:
    playlist_service(playlist_model& playlists, playback_model& playback)
        : player_service(guids::playlist_service), playlists_(playlists), playback_(playback) {}

    std::size_t get_playlist_count() override { return playlists_.count(); }
    std::size_t get_active_playlist() override { return playlists_.active(); }
    void set_active_playlist(std::size_t playlist) override { playlists_.set_active(playlist); }
    std::size_t playlist_get_item_count(std::size_t playlist) override {
        return playlists_.item_count(playlist);
    }

    void playlist_enum_items(std::size_t playlist, corvina::item_callback& callback,
                             const corvina::selection_mask& mask) override {
        // A snapshot of the meant items (the callback may change the playlist), found with the
        // mask's find so that asking for one item costs one step, not one per item.
        const std::size_t count = playlists_.item_count(playlist);
        struct meant_item {
            std::size_t index;
            service_ptr<track_object> track;
            bool selected;
        };
        std::vector<meant_item> items;
        std::size_t i = mask.find(true, 0, static_cast<std::ptrdiff_t>(count));
        while (i < count) {
            if (mask.get(i)) {  // find only skips ahead; get has the last word
                items.push_back({i, service_ptr<track_object>(playlists_.item(playlist, i)),
                                 playlists_.is_selected(playlist, i)});
            }
            const std::size_t next =
                mask.find(true, i + 1, static_cast<std::ptrdiff_t>(count - i - 1));
            i = next > i ? next : i + 1;  // a mask that answers backwards still ends
        }
        for (const meant_item& item : items) {
            if (!callback.on_item(item.index, item.track.get(), item.selected)) {
                return;
            }
        }
    }

    bool playlist_get_name(std::size_t playlist, corvina::string_base& out) override {
        const struct playlist* p = playlists_.at(playlist);
        if (p == nullptr) {
            return false;
        }
        out.set_string(p->name.c_str(), p->name.size());
        return true;
    }

    bool playlist_remove_items(std::size_t playlist, const corvina::selection_mask& mask) override {
        return playlists_.remove_if(playlist, [&](std::size_t i) { return mask.get(i); }) != 0;
    }

    void playlist_set_focus_item(std::size_t playlist, std::size_t item) override {
        playlists_.set_focus(playlist, item);
    }

    std::size_t playlist_insert_items(std::size_t playlist, std::size_t position,
                                      const corvina::track_list& items,
                                      const corvina::selection_mask& select) override {
        std::vector<service_ptr<track_object>> tracks;
        std::vector<bool> selected;
        for (std::size_t i = 0; i < items.get_count(); ++i) {
            corvina::track* item = items.get_item(i);
            service_ptr<track_object> own = recognise(item);
            if (own) {
                tracks.push_back(std::move(own));
                selected.push_back(select.get(i));
            }
        }
        return playlists_.insert(playlist, position, tracks, selected);
    }

    bool get_playing_item_location(std::size_t* playlist, std::size_t* item) override {
        playback_.update();
        const auto playing = playlists_.playing();
        if (!playing) {
            return false;
        }
        if (playlist != nullptr) {
            *playlist = playing->playlist;
        }
        if (item != nullptr) {
            *item = playing->item;
        }
        return true;
    }

    std::size_t playback_order_get_count() override { return playback_order_names().size(); }
    const char* playback_order_get_name(std::size_t index) override {
        const auto& names = playback_order_names();
        return index < names.size() ? names[index].c_str() : "";
    }
    std::size_t playback_order_get_active() override {
        return static_cast<std::size_t>(playlists_.order());
    }
    void playback_order_set_active(std::size_t index) override { playlists_.set_order(index); }

    bool playlist_play_item(std::size_t playlist, std::size_t item) override {
        return playback_.play_item(playlist, item);
    }

  private:
    // Only tracks this player made can go into its playlists.
    static service_ptr<track_object> recognise(corvina::track* item) {
        service_ptr<track_object> own;
        corvina::service_base* found = nullptr;
        if (item != nullptr && item->service_query(found, track_object_guid)) {
            own.attach(static_cast<track_object*>(found));
        }
        return own;
    }

    playlist_model& playlists_;
    playback_model& playback_;
};

class playback_service final : public player_service<corvina::playback_service> {
  public:
    explicit playback_service(playback_model& playback)
        : player_service(guids::playback_service), playback_(playback) {}

    bool get_now_playing(corvina::track*& out) override {
        track_object* track = playback_.now_playing();
        if (track == nullptr) {
            return false;
        }
        track->service_add_ref();
        if (out != nullptr) {
            out->service_release();
        }
        out = track;
        return true;
    }
    void start(corvina::start_command command, bool paused) override {
        playback_.start(static_cast<start_code>(command), paused);
    }
    void stop() override { playback_.stop(); }
    bool is_playing() override { return playback_.is_playing(); }
    bool is_paused() override { return playback_.is_paused(); }
    void set_paused(bool paused) override { playback_.set_paused(paused); }
    void set_stop_at_end(bool on) override { playback_.set_stop_at_end(on); }
    void set_volume(float db) override { playback_.set_volume(db); }
    float get_volume() override { return playback_.volume(); }
    void seek(double seconds) override { playback_.seek(seconds); }
    void seek_delta(double seconds) override { playback_.seek_delta(seconds); }
    bool can_seek() override { return playback_.can_seek(); }
    double get_position() override { return playback_.position(); }

    bool format_title(corvina::title_hook* hook, corvina::string_base& out,
                      corvina::title_script* script, corvina::title_filter* filter,
                      int /*display_level*/) override {
        track_object* track = playback_.now_playing();
        if (track == nullptr) {
            out.set_string("");
            return false;
        }
        return track->format_title(hook, out, script, filter);
    }

  private:
    playback_model& playback_;
};

class title_format_service final : public player_service<corvina::title_format_service> {
  public:
    title_format_service() : player_service(guids::title_format_service) {}

    bool compile(corvina::title_script*& out, const char* script) override {
        service_ptr<title_script_object> compiled = make_counted<title_script_object>(
            compiled_title_format::compile(script != nullptr ? script : ""));
        const bool ok = compiled->compiled().ok();
        compiled->service_add_ref();  // the reference handed out
        if (out != nullptr) {
            out->service_release();
        }
        out = compiled.get();
        return ok;
    }
};

class location_import_service final : public player_service<corvina::location_import_service> {
  public:
    explicit location_import_service(player_host& player)
        : player_service(guids::location_import_service), player_(player) {}

    bool process_locations(const corvina::string_list& locations, corvina::track_list& out,
                           bool /*filter*/, const char* /*restrict_mask*/,
                           const char* /*exclude_mask*/,
                           corvina::window_handle /*parent*/) override {
        std::vector<std::string> where;
        for (std::size_t i = 0; i < locations.get_count(); ++i) {
            const char* location = locations.get_item(i);
            where.emplace_back(location != nullptr ? location : "");
        }
        const auto tracks = player_.import_locations(where);
        for (const auto& track : tracks) {
            out.add_item(track.get());
        }
        return !tracks.empty();
    }

  private:
    player_host& player_;
};

}  // namespace

line_sink stdout_line_sink() {
    return [](std::string_view line) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    };
}

// Services by class GUID; a class handle is the address of its entry, stable for the player's
// life.
class player_host::registry final : public corvina::host_api {
  public:
    explicit registry(player_host_settings& settings) : settings_(settings) {}

    void add(const corvina::guid& cls, corvina::service_base& service) {
        std::lock_guard lock(mutex_);
        entry_for(cls).services.push_back(&service);
    }

    class_handle find_class(const corvina::guid& cls) override {
        std::lock_guard lock(mutex_);
        return &entry_for(cls);
    }

    bool create_instance(corvina::service_base*& out, class_handle cls,
                         std::size_t index) override {
        corvina::service_base* service = nullptr;
        {
            std::lock_guard lock(mutex_);
            const auto* e = static_cast<const entry*>(cls);
            if (e == nullptr || index >= e->services.size()) {
                return false;
            }
            service = e->services[index];
        }
        service->service_add_ref();
        if (out != nullptr) {
            out->service_release();
        }
        out = service;
        return true;
    }

    std::size_t instance_count(class_handle cls) override {
        std::lock_guard lock(mutex_);
        const auto* e = static_cast<const entry*>(cls);
        return e != nullptr ? e->services.size() : 0;
    }

    corvina::window_handle main_window() override { return settings_.main_window(); }
    bool is_main_thread() override { return settings_.is_main_thread(); }

  private:
    struct entry {
        corvina::guid cls;
        std::vector<corvina::service_base*> services;
    };

    entry& entry_for(const corvina::guid& cls) {
        for (entry& e : entries_) {
            if (e.cls == cls) {
                return e;
            }
        }
        return entries_.emplace_back(entry{cls, {}});
    }

    player_host_settings& settings_;
    std::mutex mutex_;
    std::deque<entry> entries_;  // deque: entries never move
};

struct player_host::services {
    services(player_host& player, line_sink sink)
        : console(std::move(sink)),
          menu(console),
          playlists(player.playlists_, player.playback_),
          playback(player.playback_),
          import(player) {}

    console_service console;
    version_service version;
    menu_service menu;
    playlist_service playlists;
    playback_service playback;
    title_format_service title_format;
    location_import_service import;
};

player_host::player_host(player_host_settings settings)
    : settings_(std::move(settings)),
      playback_(playlists_, settings_.clock, settings_.random_seed),
      registry_(std::make_unique<registry>(settings_)),
      services_(std::make_unique<services>(*this, settings_.console)) {
    if (!settings_.is_main_thread) {
        settings_.is_main_thread = [id = std::this_thread::get_id()] {
            return std::this_thread::get_id() == id;
        };
    }
    if (!settings_.main_window) {
        settings_.main_window = [] { return nullptr; };
    }
    registry_->add(guids::console, services_->console);
    registry_->add(guids::version_info, services_->version);
    registry_->add(guids::menu_commands, services_->menu);
    registry_->add(guids::playlist_service, services_->playlists);
    registry_->add(guids::playback_service, services_->playback);
    registry_->add(guids::title_format_service, services_->title_format);
    registry_->add(guids::location_import_service, services_->import);
}

player_host::~player_host() = default;

corvina::host_api& player_host::api() {
    return *registry_;
}

void player_host::print(std::string_view line) {
    services_->console.print_line(line);
}

void player_host::add_service(const corvina::guid& cls, corvina::service_base& service) {
    registry_->add(cls, service);
}

std::vector<service_ptr<track_object>> player_host::import_locations(
    const std::vector<std::string>& where) {
    namespace fs = std::filesystem;
    std::vector<service_ptr<track_object>> tracks;
    const auto add_file = [&](const std::string& path) {
        tracks.push_back(make_counted<track_object>(path, read_track_metadata(native_path(path))));
    };
    for (const std::string& location : where) {
        if (location.compare(0, file_scheme.size(), file_scheme) != 0) {
            print("Cannot import \"" + location + "\": only file:// locations are supported");
            continue;
        }
        // The path after the scheme is used as it is.
        const std::string path = location.substr(file_scheme.size());
        std::error_code error;
        const fs::file_status status = fs::status(path_from_utf8(native_path(path)), error);
        if (fs::is_regular_file(status)) {
            add_file(path);
        } else if (fs::is_directory(status)) {
            for (const std::string& file : collect_audio_files(path)) {
                add_file(file);
            }
        } else {
            print("Cannot import \"" + location + "\": no such file");
        }
    }
    return tracks;
}

}  // namespace standin
