// host_control: the active playlist, files from the phone and the titles of tracks.

#include <string>

#include "control/host_control.h"
#include "control/host_lists.h"
#include "control/host_services.h"
#include "control/selection_masks.h"
#include "support/log.h"

namespace tessel {

namespace {

string8 file_location(const string8& path) {
    string8 location("file://");
    location += path.view();
    return location;
}

// A fresh compile of the script; the player sets its out value even for a faulty script.
service_ptr<corvina::title_script> compile_script(const string8& script) {
    const auto formatter = find_title_format_service();
    service_ptr<corvina::title_script> compiled;
    formatter->compile(compiled.receive(), script.c_str());
    return compiled;
}

}  // namespace

std::size_t host_control::active_item_count() {
    const auto playlists = find_playlist_service();
    const std::size_t active = playlists->get_active_playlist();
    if (active == corvina::no_index) {
        return 0;
    }
    return playlists->playlist_get_item_count(active);
}

service_ptr<corvina::track> host_control::active_item_track(std::size_t index) {
    const auto playlists = find_playlist_service();
    const std::size_t active = playlists->get_active_playlist();
    if (active == corvina::no_index) {
        return {};
    }
    first_track_callback callback;
    playlists->playlist_enum_items(active, callback, one_item_mask(index));
    return callback.take();
}

void host_control::focus_active_item(std::size_t index) {
    const auto playlists = find_playlist_service();
    const std::size_t active = playlists->get_active_playlist();
    if (active != corvina::no_index) {
        playlists->playlist_set_focus_item(active, index);
    }
}

bool host_control::play_active_item(std::size_t index) {
    const auto playlists = find_playlist_service();
    const std::size_t active = playlists->get_active_playlist();
    if (active == corvina::no_index) {
        return false;
    }
    return playlists->playlist_play_item(active, index);
}

void host_control::remove_all_active_items() {
    const auto playlists = find_playlist_service();
    const std::size_t active = playlists->get_active_playlist();
    if (active != corvina::no_index) {
        playlists->playlist_remove_items(active, all_items_mask());
    }
}

bool host_control::insert_location(const string8& location, bool select) {
    const auto playlists = find_playlist_service();
    const std::size_t active = playlists->get_active_playlist();
    if (active == corvina::no_index) {
        return false;
    }
    const single_location_list locations(location);
    owned_track_list tracks;
    {
        const auto importer = find_location_import_service();
        if (!importer->process_locations(locations, tracks, true, nullptr, nullptr, nullptr)) {
            return false;
        }
    }
    return playlists->playlist_insert_items(active, corvina::no_index, tracks,
                                            constant_mask(select)) != corvina::no_index;
}

void host_control::play_file(string8 path) {
    const string8 location = file_location(path);
    trace(location.view());
    insert_location(location, true);
    // The last item: the new one, or the last one before when the insert failed.
    const std::size_t count = active_item_count();
    if (count != 0) {
        play_active_item(count - 1);
    }
}

int host_control::get_playlist_size() {
    return static_cast<int>(active_item_count());
}

std::vector<string8> host_control::get_playlist_titles() {
    std::vector<string8> titles;
    const auto count = static_cast<std::uint16_t>(get_playlist_size());
    titles.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        string8 title;
        // An item gone since the count was taken still gets its line, so the list keeps one
        // entry per counted item.
        if (const auto item = active_item_track(index)) {
            const auto script = compile_script(title_format);
            item->format_title(nullptr, title, script.get(), nullptr);
            throw_if_incomplete(title);
        }
        title += "\n";
        titles.push_back(std::move(title));
    }
    return titles;
}

void host_control::add_file(string8 path) {
    const string8 location = file_location(path);
    trace(location.view());
    insert_location(location, false);
}

void host_control::play_track(int index) {
    trace("Selected track for play at: " + std::to_string(index));
    // A negative index reaches the player as the same bits, as an unsigned index.
    const auto item = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(index));
    focus_active_item(item);
    play_active_item(item);
}

void host_control::remove_all() {
    remove_all_active_items();
}

void host_control::get_playing_title(string8& out) {
    const auto script = compile_script(title_format);
    find_playback_service()->format_title(nullptr, out, script.get(), nullptr, 2);
    throw_if_incomplete(out);
}

int host_control::get_playing_index() {
    std::size_t playlist = corvina::no_index;
    std::size_t item = 0;
    if (!find_playlist_service()->get_playing_item_location(&playlist, &item)) {
        return 0;
    }
    return static_cast<int>(item);
}

}  // namespace tessel
