#pragma once
// The player's playlists: several named lists of tracks, one of them active, each with a focus
// item; where the playing item lies (possibly in a playlist other than the active one); and the
// playback orders with the active one.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "corvina/platform_types.h"
#include "standin/player/track_object.h"

namespace standin {

using corvina::no_index;

enum class playback_order : std::size_t {
    default_order = 0,
    repeat_playlist,
    repeat_track,
    random,
    shuffle_tracks,
    shuffle_albums,
    shuffle_folders,
};

// "Default", "Repeat (playlist)", ... in the order of playback_order.
const std::vector<std::string>& playback_order_names();

struct playlist_entry {
    service_ptr<track_object> track;
    bool selected = false;
};

struct playlist {
    std::string name;
    std::vector<playlist_entry> items;
    std::size_t focus = no_index;
};

struct item_location {
    std::size_t playlist;
    std::size_t item;
    bool operator==(const item_location&) const = default;
};

class playlist_model {
  public:
    // Adds an empty playlist at the end and answers its index; the first one becomes active.
    std::size_t create_playlist(std::string name);
    // The first playlist of that name; no_index when there is none.
    std::size_t find_playlist(std::string_view name) const;

    std::size_t count() const { return playlists_.size(); }
    const playlist* at(std::size_t index) const;

    std::size_t active() const { return active_; }
    bool set_active(std::size_t index);

    std::size_t item_count(std::size_t list) const;
    track_object* item(std::size_t list, std::size_t index) const;
    bool is_selected(std::size_t list, std::size_t index) const;

    // Inserts at position (no_index or past the end: at the end); answers the first new index,
    // or no_index for an unknown playlist or no tracks. selected[i] marks new item i.
    std::size_t insert(std::size_t list, std::size_t position,
                       const std::vector<service_ptr<track_object>>& tracks,
                       const std::vector<bool>& selected);
    // Removes the items for which remove_it answers true; answers how many went.
    std::size_t remove_if(std::size_t list, const std::function<bool(std::size_t)>& remove_it);

    std::size_t focus(std::size_t list) const;
    bool set_focus(std::size_t list, std::size_t index);

    // The playing item while it is still in a playlist.
    std::optional<item_location> playing() const { return playing_; }
    void set_playing(std::optional<item_location> where) { playing_ = where; }

    playback_order order() const { return order_; }
    bool set_order(std::size_t index);

    // Changes whenever items are inserted or removed anywhere.
    std::uint64_t generation() const { return generation_; }

  private:
    std::vector<playlist> playlists_;
    std::size_t active_ = no_index;
    std::optional<item_location> playing_;
    playback_order order_ = playback_order::default_order;
    std::uint64_t generation_ = 0;
};

}  // namespace standin
