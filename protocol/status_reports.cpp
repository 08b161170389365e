// The short, fixed-shape reports: status, volume, version, playlist length, detailed values and
// the playing file's size.

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "protocol/big_endian.h"
#include "protocol/file_search.h"
#include "protocol/file_system_gate.h"
#include "protocol/long_path.h"
#include "protocol/phone_link.h"
#include "support/log.h"
#include "support/reply_buffer.h"

namespace tessel {

namespace {

constexpr std::uint32_t info_fixed_size = 18;
constexpr int max_playlist_entries = 65535;
constexpr std::string_view file_location_prefix = "file://";

std::uint32_t to_wire_i32(int value) {
    return to_wire_u32(static_cast<std::uint32_t>(value));
}

}  // namespace

void phone_link::send_info(bool zero_terminated) {
    trace("Sending songinfo");
    const bool playing = control_.is_playing();
    const bool paused = control_.is_paused();
    const int length = control_.get_length();
    const int position = control_.get_position();
    const bool shuffle = control_.is_shuffle();
    const bool repeat = control_.is_repeat();
    string8 title;
    control_.get_playing_title(title);

    std::uint8_t state = 0;
    if (playing) {
        state |= 1;
    }
    if (paused) {
        state |= 2;
    }
    reply_buffer reply(info_fixed_size + static_cast<std::uint32_t>(title.length()) +
                       (zero_terminated ? 1 : 0));
    reply.append_bytes("INFOACK");
    reply.append_byte(state);
    reply.append_u32(to_wire_i32(length));
    reply.append_u32(to_wire_i32(position));
    reply.append_byte(shuffle ? 1 : 0);
    reply.append_byte(repeat ? 1 : 0);
    reply.append_text(title);
    if (zero_terminated) {
        reply.append_byte(0);
    }
    send_reply(std::move(reply));
}

void phone_link::send_volume() {
    const std::uint8_t level = control_.get_volume();
    trace("Sending vol: " + std::to_string(level));
    reply_buffer reply(8);
    reply.append_bytes("GVOLACK");
    reply.append_byte(level);
    send_reply(std::move(reply));
}

void phone_link::send_version() {
    trace("Sending version info to phone.");
    reply_buffer reply(9);
    reply.append_bytes("VERSACK");
    reply.append_byte(1);
    reply.append_byte(73);
    send_reply(std::move(reply));
}

void phone_link::send_playlist_length() {
    const int entries = control_.get_playlist_size();
    if (entries > max_playlist_entries) {
        log_error("The playlist exceeds 65535 songs, it cannot be uploaded to the phone!");
    }
    reply_buffer reply(2);
    reply.append_u16(to_wire_u16(static_cast<std::uint16_t>(entries)));
    send_reply(std::move(reply));
}

void phone_link::send_detailed_info() {
    trace("Sending detailed info");
    const int bitrate = control_.get_bitrate();
    const int second = control_.get_info_value_2();
    const int third = control_.get_info_value_3();
    reply_buffer reply(19);
    reply.append_bytes("DINFACK");
    reply.append_u32(to_wire_i32(bitrate));
    reply.append_u32(to_wire_i32(second));
    reply.append_u32(to_wire_i32(third));
    send_reply(std::move(reply));
}

void phone_link::send_file_info(const string8& /*ignored_argument*/,
                                std::unique_ptr<deferred_reply>* file_work) {
    // The player keeps a file as the location "file://" + path; the search wants the path.
    const string8 location = control_.get_playing_path();
    std::string_view path = location.view();
    if (path.starts_with(file_location_prefix)) {
        path.remove_prefix(file_location_prefix.size());
    }
    send_deferred(
        [path = string8(path)](file_system_gate* gate) {
            // No file (nothing playing, or it is gone) reports size 0.
            std::uint32_t size = 0;
            if (!path.is_empty()) {
                // The size is read and the search ended inside the call too: on some systems
                // either goes to the disk.
                const std::optional<std::uint64_t> found =
                    gated_calls(gate).run([&]() -> std::optional<std::uint64_t> {
                        const file_search search = start_file_search(long_path_form(path).c_str());
                        if (!search) {
                            return std::nullopt;
                        }
                        return search->get_size();
                    });
                size = static_cast<std::uint32_t>(found.value_or(0));
            }
            reply_buffer reply(11);
            reply.append_bytes("FINFACK");
            reply.append_u32(to_wire_u32(size));
            return reply;
        },
        file_work);
}

}  // namespace tessel
