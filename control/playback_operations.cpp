// host_control: transport, seeking, volume, playback order and status.

#include <cstring>

#include "control/host_control.h"
#include "control/host_services.h"
#include "control/track_info_record.h"
#include "control/value_conversions.h"

namespace tessel {

namespace {

// The texts of the player's playback orders that the phone switches between.
constexpr const char* default_order = "Default";
constexpr const char* repeat_order = "Repeat (playlist)";
constexpr const char* shuffle_order = "Shuffle (tracks)";

// The playing track; empty when nothing plays.
service_ptr<corvina::track> now_playing(corvina::playback_service& playback) {
    service_ptr<corvina::track> playing;
    if (!playback.get_now_playing(playing.receive())) {
        playing.reset();
    }
    return playing;
}

}  // namespace

void host_control::fade_out() {
    stop();
}

void host_control::fast_forward(int seconds) {
    find_playback_service()->seek_delta(static_cast<double>(seconds));
}

void host_control::rewind(int seconds) {
    // Negated as a double: the most negative int has no int negation.
    find_playback_service()->seek_delta(-static_cast<double>(seconds));
}

void host_control::next(bool random_in_shuffle) {
    const auto command = shuffle_seen && random_in_shuffle ? corvina::start_command::random
                                                           : corvina::start_command::next;
    find_playback_service()->start(command, false);
}

void host_control::previous() {
    find_playback_service()->start(corvina::start_command::previous, false);
}

void host_control::pause() {
    const auto playback = find_playback_service();
    const bool paused = playback->is_paused();
    playback->set_paused(!paused);
}

void host_control::stop() {
    find_playback_service()->stop();
}

void host_control::start() {
    find_playback_service()->start(corvina::start_command::play, false);
}

void host_control::set_repeat(bool on) {
    set_playback_order(on ? repeat_order : default_order);
}

void host_control::set_shuffle(bool on) {
    set_playback_order(on ? shuffle_order : default_order);
}

void host_control::seek(int seconds) {
    const auto playback = find_playback_service();
    if (playback->can_seek()) {
        playback->seek(static_cast<double>(seconds));
    }
}

void host_control::set_stop_at_end(bool on) {
    find_playback_service()->set_stop_at_end(on);
}

void host_control::set_volume(std::uint8_t level) {
    find_playback_service()->set_volume(level_to_decibels(level));
}

std::uint8_t host_control::get_volume() {
    return decibels_to_level(find_playback_service()->get_volume());
}

int host_control::get_bitrate() {
    const auto playback = find_playback_service();
    const auto playing = now_playing(*playback);
    if (!playing) {
        return 0;
    }
    track_info_record record;
    bool read = false;
    {
        const track_info_lock lock(*playing);
        read = playing->get_info(record);
    }
    if (!read) {
        return 0;
    }
    const auto text = record.find_technical("bitrate");
    if (!text) {
        return 0;
    }
    // The low 32 bits, as the reply carries them.
    return static_cast<int>(static_cast<std::uint32_t>(read_leading_integer(*text)));
}

int host_control::get_info_value_2() {
    return 1337;
}

int host_control::get_info_value_3() {
    return 2;
}

string8 host_control::get_playing_path() {
    const auto playback = find_playback_service();
    const auto playing = now_playing(*playback);
    if (!playing) {
        return {};
    }
    return string8(playing->get_location().get_path());
}

int host_control::get_position() {
    return whole_seconds(find_playback_service()->get_position());
}

int host_control::get_length() {
    const auto playback = find_playback_service();
    const auto playing = now_playing(*playback);
    double length = 0.0;
    if (playing) {
        const track_info_lock lock(*playing);
        if (const corvina::track_info* info = playing->get_info_locked()) {
            length = info->get_length();
        }
    }
    return whole_seconds(length);
}

bool host_control::is_shuffle() {
    shuffle_seen = active_order_contains("Shuffle");
    return shuffle_seen;
}

bool host_control::is_repeat() {
    return active_order_contains("Repeat");
}

bool host_control::is_paused() {
    return find_playback_service()->is_paused();
}

bool host_control::is_playing() {
    return find_playback_service()->is_playing();
}

void host_control::set_title_format(string8 script) {
    title_format = std::move(script);
}

void host_control::set_playback_order(string8 name) {
    const auto playlists = find_playlist_service();
    std::size_t count = playlists->playback_order_get_count();
    for (std::size_t index = 0; index < count; ++index) {
        const char* order = playlists->playback_order_get_name(index);
        if (std::strncmp(order != nullptr ? order : "", name.c_str(), name.length()) == 0) {
            playlists->playback_order_set_active(index);
            return;
        }
        // The player may have changed its orders meanwhile.
        count = playlists->playback_order_get_count();
    }
}

bool host_control::active_order_contains(const char* word) {
    const auto playlists = find_playlist_service();
    const std::size_t active = playlists->playback_order_get_active();
    const string8 name(playlists->playback_order_get_name(active));
    return name.view().find(word) != std::string_view::npos;
}

}  // namespace tessel
