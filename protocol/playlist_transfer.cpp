#include "protocol/playlist_transfer.h"

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/big_endian.h"
#include "protocol/phone_link.h"
#include "support/log.h"
#include "support/reply_buffer.h"
#include "support/utf8.h"

namespace tessel {

namespace {

constexpr std::uint32_t playlist_initial_capacity = 131072;
constexpr int max_playlist_entries = 65535;

}  // namespace

std::string to_ascii_title(const string8& title) {
    std::string ascii;
    ascii.reserve(title.length());
    const char* text = title.c_str();
    const std::size_t length = title.length();
    for (std::size_t at = 0; at < length;) {
        std::uint32_t code_point = 0;
        const std::size_t used = utf8_decode_char(text + at, &code_point, length - at);
        if (used == 0) {
            ascii += '?';
            ++at;
            continue;
        }
        ascii += code_point >= 0x80 ? '?' : static_cast<char>(code_point);
        at += used;
    }
    return ascii;
}

void phone_link::send_playlist() {
    reply_buffer reply(playlist_initial_capacity);
    trace("Sending playlist");
    reply.append_bytes("PLSTACK");
    const int entries = control_.get_playlist_size();
    if (entries > max_playlist_entries) {
        log_error("The playlist exceeds 65535 songs, it cannot be uploaded to the phone!");
    } else {
        const int playing = control_.get_playing_index();
        reply.append_u16(to_wire_u16(static_cast<std::uint16_t>(playing)));
        const std::vector<string8> titles = control_.get_playlist_titles();
        for (const string8& title : titles) {
            reply.append_bytes(to_ascii_title(title));
        }
    }
    reply.append_u32(0);
    trace(std::string_view(reinterpret_cast<const char*>(reply.data()), reply.size()));
    send_reply(std::move(reply));
    trace("Playlist sent");
}

}  // namespace tessel
