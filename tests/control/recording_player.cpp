#include "tests/control/recording_player.h"

#include <cstdio>

namespace tessel::test {

namespace {

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string index_text(std::size_t index) {
    return index == corvina::no_index ? "none" : std::to_string(index);
}

// Out parameters follow the player's rule: release what was there, store the new object with
// one reference.
template <class T>
void store_out(T*& out, T* object) {
    object->service_add_ref();
    if (out != nullptr) {
        out->service_release();
    }
    out = object;
}

}  // namespace

// --- tracks and scripts ----------------------------------------------------------------------

fake_track::fake_track(call_log& log, std::string name, std::string path)
    : log_(log), name_(std::move(name)) {
    location_.path = std::move(path);
    info_.owner = this;
}

bool fake_track::format_title(corvina::title_hook* /*hook*/, corvina::string_base& out,
                              corvina::title_script* script, corvina::title_filter* /*filter*/) {
    const std::string text = script == nullptr ? "" : static_cast<fake_script*>(script)->text;
    log_.add("track(" + name_ + ").format_title(" + text + ")");
    out.set_string((text + "|" + name_).c_str());
    return true;
}

void fake_track::lock_info() {
    log_.add("track(" + name_ + ").lock");
    ++locks_;
}

void fake_track::unlock_info() {
    log_.add("track(" + name_ + ").unlock");
    --locks_;
}

void fake_track::check_locked() const {
    if (locks_ <= 0) {
        ++unlocked_reads_;
    }
}

bool fake_track::get_info(corvina::info_record& out) const {
    log_.add("track(" + name_ + ").get_info");
    check_locked();
    if (!info_readable) {
        return false;
    }
    out.reset();
    out.set_length(length);
    out.add_meta("title", name_.c_str());
    for (const auto& field : technical) {
        out.add_technical(field.first.c_str(), field.second.c_str());
    }
    return true;
}

const corvina::track_info* fake_track::get_info_locked() const {
    log_.add("track(" + name_ + ").info_locked");
    check_locked();
    return &info_;
}

fake_track& object_store::make_track(call_log& log, std::string name, std::string path) {
    tracks_.push_back(std::make_unique<fake_track>(log, std::move(name), std::move(path)));
    return *tracks_.back();
}

fake_script& object_store::make_script(std::string text) {
    scripts_.push_back(std::make_unique<fake_script>(std::move(text)));
    return *scripts_.back();
}

int object_store::outstanding_references() const {
    int total = 0;
    for (const auto& track : tracks_) {
        total += track->references();
    }
    for (const auto& script : scripts_) {
        total += script->references();
    }
    return total;
}

// --- playback --------------------------------------------------------------------------------

bool fake_playback::get_now_playing(corvina::track*& out) {
    log_.add("playback.now_playing");
    if (playing == nullptr) {
        return false;
    }
    corvina::track* track = playing;
    store_out(out, track);
    return true;
}

void fake_playback::start(corvina::start_command command, bool start_paused) {
    log_.add("playback.start(" + std::to_string(static_cast<int>(command)) + "," +
             std::to_string(start_paused) + ")");
}

void fake_playback::stop() {
    log_.add("playback.stop");
    playing = nullptr;
}

bool fake_playback::is_playing() {
    log_.add("playback.is_playing");
    return playing != nullptr;
}

bool fake_playback::is_paused() {
    log_.add("playback.is_paused");
    return paused;
}

void fake_playback::set_paused(bool value) {
    log_.add("playback.set_paused(" + std::to_string(value) + ")");
    paused = value;
}

void fake_playback::set_stop_at_end(bool on) {
    log_.add("playback.set_stop_at_end(" + std::to_string(on) + ")");
}

void fake_playback::set_volume(float db) {
    log_.add("playback.set_volume");
    volume = db;
}

float fake_playback::get_volume() {
    log_.add("playback.get_volume");
    return volume;
}

void fake_playback::seek(double seconds) {
    log_.add("playback.seek(" + number(seconds) + ")");
}

void fake_playback::seek_delta(double seconds) {
    log_.add("playback.seek_delta(" + number(seconds) + ")");
}

bool fake_playback::can_seek() {
    log_.add("playback.can_seek");
    return seekable;
}

double fake_playback::get_position() {
    log_.add("playback.position");
    return position;
}

bool fake_playback::format_title(corvina::title_hook* /*hook*/, corvina::string_base& out,
                                 corvina::title_script* script, corvina::title_filter* /*filter*/,
                                 int display_level) {
    log_.add("playback.format_title(" + std::to_string(display_level) + ")");
    if (playing == nullptr) {
        out.set_string("");
        return false;
    }
    return playing->format_title(nullptr, out, script, nullptr);
}

// --- playlists and playback orders -----------------------------------------------------------

std::size_t fake_playlists::add_playlist(const std::vector<std::string>& names) {
    std::vector<fake_track*> list;
    for (const std::string& name : names) {
        list.push_back(&store_.make_track(log_, name, "C:\\Music\\" + name + ".mp3"));
    }
    lists_.push_back(std::move(list));
    if (active == corvina::no_index) {
        active = lists_.size() - 1;
    }
    return lists_.size() - 1;
}

std::vector<std::string> fake_playlists::item_names(std::size_t playlist) const {
    std::vector<std::string> names;
    for (const fake_track* track : lists_.at(playlist)) {
        names.push_back(track->name());
    }
    return names;
}

std::size_t fake_playlists::get_active_playlist() {
    log_.add("playlists.active");
    return active;
}

void fake_playlists::set_active_playlist(std::size_t playlist) {
    log_.add("playlists.set_active(" + index_text(playlist) + ")");
    active = playlist;
}

std::size_t fake_playlists::playlist_get_item_count(std::size_t playlist) {
    log_.add("playlists.item_count(" + index_text(playlist) + ")");
    return playlist < lists_.size() ? lists_[playlist].size() : 0;
}

void fake_playlists::playlist_enum_items(std::size_t playlist, corvina::item_callback& callback,
                                         const corvina::selection_mask& mask) {
    log_.add("playlists.enum_items(" + index_text(playlist) + ")");
    if (playlist >= lists_.size()) {
        return;
    }
    const auto& list = lists_[playlist];
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (mask.get(i) && !callback.on_item(i, list[i], false)) {
            return;
        }
    }
}

bool fake_playlists::playlist_get_name(std::size_t playlist, corvina::string_base& out) {
    log_.add("playlists.name(" + index_text(playlist) + ")");
    out.set_string(("list " + std::to_string(playlist)).c_str());
    return playlist < lists_.size();
}

bool fake_playlists::playlist_remove_items(std::size_t playlist,
                                           const corvina::selection_mask& mask) {
    log_.add("playlists.remove_items(" + index_text(playlist) + ")");
    if (playlist >= lists_.size()) {
        return false;
    }
    std::vector<fake_track*> kept;
    for (std::size_t i = 0; i < lists_[playlist].size(); ++i) {
        if (!mask.get(i)) {
            kept.push_back(lists_[playlist][i]);
        }
    }
    lists_[playlist] = std::move(kept);
    return true;
}

void fake_playlists::playlist_set_focus_item(std::size_t playlist, std::size_t item) {
    log_.add("playlists.focus(" + index_text(playlist) + "," + index_text(item) + ")");
}

std::size_t fake_playlists::playlist_insert_items(std::size_t playlist, std::size_t position,
                                                  const corvina::track_list& items,
                                                  const corvina::selection_mask& select) {
    log_.add("playlists.insert(" + index_text(playlist) + "," + index_text(position) + "," +
             std::to_string(items.get_count()) + ")");
    if (playlist >= lists_.size() || items.get_count() == 0) {
        return corvina::no_index;
    }
    auto& list = lists_[playlist];
    const std::size_t first = position == corvina::no_index ? list.size() : position;
    last_insert_selected.clear();
    for (std::size_t i = 0; i < items.get_count(); ++i) {
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(first + i),
                    static_cast<fake_track*>(items.get_item(i)));
        last_insert_selected.push_back(select.get(i));
    }
    return first;
}

bool fake_playlists::get_playing_item_location(std::size_t* playlist, std::size_t* item) {
    log_.add("playlists.playing_location");
    if (!playing_at) {
        return false;
    }
    *playlist = playing_at->first;
    *item = playing_at->second;
    return true;
}

std::size_t fake_playlists::playback_order_get_count() {
    log_.add("orders.count");
    return orders.size();
}

const char* fake_playlists::playback_order_get_name(std::size_t index) {
    log_.add("orders.name(" + index_text(index) + ")");
    return index < orders.size() ? orders[index].c_str() : nullptr;
}

std::size_t fake_playlists::playback_order_get_active() {
    log_.add("orders.active");
    return active_order;
}

void fake_playlists::playback_order_set_active(std::size_t index) {
    log_.add("orders.set_active(" + index_text(index) + ")");
    active_order = index;
}

bool fake_playlists::playlist_play_item(std::size_t playlist, std::size_t item) {
    log_.add("playlists.play(" + index_text(playlist) + "," + index_text(item) + ")");
    if (playlist >= lists_.size() || item >= lists_[playlist].size()) {
        return false;
    }
    playing_at = {playlist, item};
    playback_.playing = lists_[playlist][item];
    return true;
}

// --- title formatting and location import ----------------------------------------------------

bool fake_title_format::compile(corvina::title_script*& out, const char* script) {
    const std::string text = script == nullptr ? "" : script;
    log_.add("title_format.compile(" + text + ")");
    corvina::title_script* compiled = &store_.make_script(text);
    store_out(out, compiled);
    return true;
}

bool fake_location_import::process_locations(const corvina::string_list& locations,
                                             corvina::track_list& out, bool filter,
                                             const char* restrict_mask, const char* exclude_mask,
                                             corvina::window_handle parent) {
    std::string call = "import(";
    for (std::size_t i = 0; i < locations.get_count(); ++i) {
        call += (i == 0 ? "" : ";") + std::string(locations.get_item(i));
    }
    call += "," + std::to_string(filter) + "," + (restrict_mask == nullptr ? "0" : "mask") + "," +
            (exclude_mask == nullptr ? "0" : "mask") + "," + (parent == nullptr ? "0" : "window") +
            ")";
    log_.add(call);
    if (while_importing) {
        while_importing();
    }
    if (!accept) {
        return false;
    }
    for (std::size_t i = 0; i < locations.get_count(); ++i) {
        const std::string location = locations.get_item(i);
        out.add_item(&store_.make_track(log_, "new" + std::to_string(i), location));
    }
    return locations.get_count() != 0;
}

// --- the player ------------------------------------------------------------------------------

recording_player::recording_player(const corvina::guid* left_out) {
    const auto add = [&](const corvina::guid& cls, corvina::service_base& service) {
        if (left_out == nullptr || !(*left_out == cls)) {
            host.add_service(cls, service);
        }
    };
    add(corvina::class_guids::playback_service, playback);
    add(corvina::class_guids::playlist_service, playlists);
    add(corvina::class_guids::title_format_service, title_format);
    add(corvina::class_guids::location_import_service, location_import);
}

int recording_player::outstanding_references() const {
    return playback.references() + playlists.references() + title_format.references() +
           location_import.references() + store.outstanding_references();
}

}  // namespace tessel::test
