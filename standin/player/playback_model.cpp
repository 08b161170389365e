#include "standin/player/playback_model.h"

#include <algorithm>
#include <chrono>
#include <map>

namespace standin {
namespace {

// Bounds the work of one update when tracks are very short and much time passed.
constexpr int max_tracks_per_update = 10'000;

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

double steady_clock_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

playback_model::playback_model(playlist_model& playlists, clock_function clock, std::uint32_t seed)
    : playlists_(playlists), clock_(std::move(clock)), random_(seed) {}

double playback_model::raw_position() const {
    if (!playing_ || paused_) {
        return base_position_;
    }
    return base_position_ + (clock_() - base_time_);
}

void playback_model::begin_track(std::size_t list, std::size_t index, double at_position,
                                 bool paused) {
    playing_ = service_ptr<track_object>(playlists_.item(list, index));
    playlists_.set_playing(item_location{list, index});
    playlists_.set_focus(list, index);  // the cursor follows playback
    paused_ = paused;
    base_position_ = at_position;
    base_time_ = clock_();
}

bool playback_model::play_item(std::size_t list, std::size_t index, bool paused) {
    if (playlists_.item(list, index) == nullptr) {
        return false;
    }
    if (playlists_.order() == playback_order::random && playing_ && playlists_.playing()) {
        random_history_.push_back(
            list_position{playlists_.playing()->playlist, playlists_.playing()->item});
    }
    begin_track(list, index, 0.0, paused);
    return true;
}

void playback_model::stop() {
    playing_.reset();
    playlists_.set_playing(std::nullopt);
    paused_ = false;
    base_position_ = 0.0;
}

bool playback_model::is_playing() {
    update();
    return static_cast<bool>(playing_);
}

bool playback_model::is_paused() {
    update();
    return playing_ && paused_;
}

void playback_model::set_paused(bool paused) {
    update();
    if (!playing_ || paused == paused_) {
        return;
    }
    base_position_ = raw_position();
    base_time_ = clock_();
    paused_ = paused;
}

void playback_model::set_volume(float db) {
    volume_ = std::clamp(db, -100.0f, 0.0f);
}

bool playback_model::can_seek() {
    update();
    return playing_ && playing_->length() > 0.0;
}

void playback_model::seek(double seconds) {
    if (!can_seek()) {
        return;
    }
    base_position_ = std::max(0.0, seconds);
    base_time_ = clock_();
    update();  // a seek to the end moves on
}

void playback_model::seek_delta(double seconds) {
    if (!can_seek()) {
        return;
    }
    seek(raw_position() + seconds);
}

double playback_model::position() {
    update();
    return playing_ ? raw_position() : 0.0;
}

track_object* playback_model::now_playing() {
    update();
    return playing_.get();
}

std::optional<playback_model::list_position> playback_model::reference() {
    if (playing_ && playlists_.playing()) {
        return list_position{playlists_.playing()->playlist, playlists_.playing()->item};
    }
    const std::size_t list = playlists_.active();
    if (playlists_.item_count(list) == 0) {
        return std::nullopt;
    }
    const std::size_t focus = playlists_.focus(list);
    return list_position{list, focus == no_index ? 0 : focus};
}

const std::vector<std::size_t>& playback_model::shuffled(std::size_t list) {
    const playback_order order = playlists_.order();
    const std::size_t count = playlists_.item_count(list);
    if (shuffle_list_ == list && shuffle_generation_ == playlists_.generation() &&
        shuffle_order_ == order && shuffle_.size() == count) {
        return shuffle_;
    }
    // Groups (one per track, album or folder) in random order; a group's tracks keep their
    // playlist order.
    std::map<std::string, std::vector<std::size_t>> groups;
    std::vector<std::vector<std::size_t>> ordered;
    for (std::size_t i = 0; i < count; ++i) {
        const track_object* track = playlists_.item(list, i);
        if (order == playback_order::shuffle_tracks) {
            ordered.push_back({i});
            continue;
        }
        std::string key;
        if (order == playback_order::shuffle_albums) {
            const auto album = track->metadata().tags.find("album");
            key = album != track->metadata().tags.end() ? "a:" + album->second
                                                        : "f:" + folder_of(track->path());
        } else {
            key = "f:" + folder_of(track->path());
        }
        groups[key].push_back(i);
    }
    for (auto& [key, members] : groups) {
        ordered.push_back(std::move(members));
    }
    std::shuffle(ordered.begin(), ordered.end(), random_);
    shuffle_.clear();
    for (const auto& group : ordered) {
        shuffle_.insert(shuffle_.end(), group.begin(), group.end());
    }
    shuffle_list_ = list;
    shuffle_generation_ = playlists_.generation();
    shuffle_order_ = order;
    return shuffle_;
}

std::size_t playback_model::random_index(std::size_t count, std::size_t avoid) {
    if (count <= 1) {
        return 0;
    }
    std::uniform_int_distribution<std::size_t> pick(0, count - 2);
    const std::size_t index = pick(random_);
    return avoid < count && index >= avoid ? index + 1 : index;
}

std::optional<std::size_t> playback_model::following(std::size_t list, std::size_t index,
                                                     bool by_user) {
    const std::size_t count = playlists_.item_count(list);
    if (count == 0) {
        return std::nullopt;
    }
    const playback_order order = playlists_.order();
    switch (order) {
        case playback_order::default_order:
            if (index + 1 < count) {
                return index + 1;
            }
            return std::nullopt;
        case playback_order::repeat_track:
            if (!by_user) {
                return std::min(index, count - 1);
            }
            return (index + 1) % count;
        case playback_order::repeat_playlist:
            return (index + 1) % count;
        case playback_order::random:
            return random_index(count, index);
        default:
            break;
    }
    const std::vector<std::size_t>& permutation = shuffled(list);
    const auto at = std::find(permutation.begin(), permutation.end(), index);
    if (at == permutation.end() || at + 1 == permutation.end()) {
        return permutation.front();
    }
    return *(at + 1);
}

std::optional<std::size_t> playback_model::preceding(std::size_t list, std::size_t index) {
    const std::size_t count = playlists_.item_count(list);
    if (count == 0) {
        return std::nullopt;
    }
    const playback_order order = playlists_.order();
    if (order == playback_order::default_order) {
        return index == 0 ? 0 : std::min(index - 1, count - 1);
    }
    if (order == playback_order::repeat_playlist || order == playback_order::repeat_track) {
        return index == 0 || index > count ? count - 1 : index - 1;
    }
    if (order == playback_order::random) {
        return random_index(count, index);
    }
    const std::vector<std::size_t>& permutation = shuffled(list);
    const auto at = std::find(permutation.begin(), permutation.end(), index);
    if (at == permutation.end() || at == permutation.begin()) {
        return permutation.back();
    }
    return *(at - 1);
}

void playback_model::start(start_code code, bool paused) {
    update();
    switch (code) {
        case start_code::play: {
            if (playing_ && paused_) {
                set_paused(paused);
                return;
            }
            if (playing_) {
                base_position_ = 0.0;  // play while playing starts the track again
                base_time_ = clock_();
                paused_ = paused;
                return;
            }
            if (const auto from = reference()) {
                play_item(from->list, from->index, paused);
            }
            return;
        }
        case start_code::next:
        case start_code::previous: {
            const auto from = reference();
            if (!from) {
                return;
            }
            if (!playing_) {
                // Stopped: next and previous start at the focus.
                play_item(from->list, from->index, paused);
                return;
            }
            if (code == start_code::previous && playlists_.order() == playback_order::random &&
                !random_history_.empty()) {
                const list_position back = random_history_.back();
                random_history_.pop_back();
                if (playlists_.item(back.list, back.index) != nullptr) {
                    begin_track(back.list, back.index, 0.0, paused);
                    return;
                }
            }
            const auto target = code == start_code::next ? following(from->list, from->index, true)
                                                         : preceding(from->list, from->index);
            if (target) {
                play_item(from->list, *target, paused);
            }
            return;
        }
        case start_code::random: {
            const std::size_t list = playlists_.active();
            const std::size_t count = playlists_.item_count(list);
            if (count == 0) {
                return;
            }
            const auto playing_at = playlists_.playing();
            const std::size_t avoid =
                playing_at && playing_at->playlist == list ? playing_at->item : no_index;
            play_item(list, random_index(count, avoid), paused);
            return;
        }
    }
}

void playback_model::update() {
    for (int moved = 0; moved < max_tracks_per_update && playing_ && !paused_; ++moved) {
        const double length = playing_->length();
        const double now_at = raw_position();
        if (length <= 0.0 || now_at < length) {
            return;  // a track of unknown length plays on for ever
        }
        const double track_end_time = base_time_ + (length - base_position_);
        const auto at = playlists_.playing();
        std::optional<std::size_t> next;
        if (at && !stop_at_end_) {
            next = following(at->playlist, at->item, false);
        }
        if (!next) {
            stop_at_end_ = false;
            stop();
            return;
        }
        const std::size_t list = at->playlist;
        if (playlists_.order() == playback_order::random) {
            random_history_.push_back(list_position{at->playlist, at->item});
        }
        begin_track(list, *next, 0.0, false);
        base_time_ = track_end_time;  // the next track started when the last one ended
    }
}

}  // namespace standin
