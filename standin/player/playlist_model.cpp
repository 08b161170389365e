#include "standin/player/playlist_model.h"

namespace standin {

const std::vector<std::string>& playback_order_names() {
    static const std::vector<std::string> names{
        "Default",          "Repeat (playlist)", "Repeat (track)",    "Random",
        "Shuffle (tracks)", "Shuffle (albums)",  "Shuffle (folders)",
    };
    return names;
}

std::size_t playlist_model::create_playlist(std::string name) {
    playlists_.push_back(playlist{std::move(name), {}, no_index});
    if (active_ == no_index) {
        active_ = 0;
    }
    return playlists_.size() - 1;
}

std::size_t playlist_model::find_playlist(std::string_view name) const {
    for (std::size_t i = 0; i < playlists_.size(); ++i) {
        if (playlists_[i].name == name) {
            return i;
        }
    }
    return no_index;
}

const playlist* playlist_model::at(std::size_t index) const {
    return index < playlists_.size() ? &playlists_[index] : nullptr;
}

bool playlist_model::set_active(std::size_t index) {
    if (index >= playlists_.size()) {
        return false;
    }
    active_ = index;
    return true;
}

std::size_t playlist_model::item_count(std::size_t list) const {
    const playlist* p = at(list);
    return p != nullptr ? p->items.size() : 0;
}

track_object* playlist_model::item(std::size_t list, std::size_t index) const {
    const playlist* p = at(list);
    return p != nullptr && index < p->items.size() ? p->items[index].track.get() : nullptr;
}

bool playlist_model::is_selected(std::size_t list, std::size_t index) const {
    const playlist* p = at(list);
    return p != nullptr && index < p->items.size() && p->items[index].selected;
}

std::size_t playlist_model::insert(std::size_t list, std::size_t position,
                                   const std::vector<service_ptr<track_object>>& tracks,
                                   const std::vector<bool>& selected) {
    if (list >= playlists_.size() || tracks.empty()) {
        return no_index;
    }
    auto& items = playlists_[list].items;
    if (position > items.size()) {
        position = items.size();
    }
    std::vector<playlist_entry> added;
    added.reserve(tracks.size());
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        added.push_back(playlist_entry{tracks[i], i < selected.size() && selected[i]});
    }
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(position), added.begin(), added.end());
    std::size_t& focus = playlists_[list].focus;
    if (focus != no_index && focus >= position) {
        focus += tracks.size();
    }
    if (playing_ && playing_->playlist == list && playing_->item >= position) {
        playing_->item += tracks.size();
    }
    ++generation_;
    return position;
}

std::size_t playlist_model::remove_if(std::size_t list,
                                      const std::function<bool(std::size_t)>& remove_it) {
    if (list >= playlists_.size()) {
        return 0;
    }
    playlist& p = playlists_[list];
    std::vector<playlist_entry> kept;
    kept.reserve(p.items.size());
    std::size_t removed_before_focus = 0;
    std::size_t removed_before_playing = 0;
    bool focus_removed = false;
    const bool playing_here = playing_ && playing_->playlist == list;
    for (std::size_t i = 0; i < p.items.size(); ++i) {
        if (!remove_it(i)) {
            kept.push_back(std::move(p.items[i]));
            continue;
        }
        if (p.focus != no_index) {
            if (i < p.focus) {
                ++removed_before_focus;
            } else if (i == p.focus) {
                focus_removed = true;
            }
        }
        if (playing_here) {
            if (i < playing_->item) {
                ++removed_before_playing;
            } else if (i == playing_->item) {
                playing_.reset();  // the track plays on, outside any playlist
            }
        }
    }
    const std::size_t removed = p.items.size() - kept.size();
    p.items = std::move(kept);
    if (p.focus != no_index) {
        p.focus -= removed_before_focus;
        if (focus_removed && p.focus >= p.items.size()) {
            p.focus = p.items.empty() ? no_index : p.items.size() - 1;
        }
    }
    if (playing_ && playing_->playlist == list) {
        playing_->item -= removed_before_playing;
    }
    if (removed != 0) {
        ++generation_;
    }
    return removed;
}

std::size_t playlist_model::focus(std::size_t list) const {
    const playlist* p = at(list);
    return p != nullptr ? p->focus : no_index;
}

bool playlist_model::set_focus(std::size_t list, std::size_t index) {
    if (list >= playlists_.size() || index >= playlists_[list].items.size()) {
        return false;
    }
    playlists_[list].focus = index;
    return true;
}

bool playlist_model::set_order(std::size_t index) {
    if (index >= playback_order_names().size()) {
        return false;
    }
    order_ = static_cast<playback_order>(index);
    return true;
}

}  // namespace standin
