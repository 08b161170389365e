#pragma once
// Command codes: four ASCII bytes in wire order held as one 32-bit value whose lowest byte is
// the first byte received ("INFO" is 0x4F464E49 whatever the machine's byte order).

#include <cstdint>

namespace tessel {

using command_code = std::uint32_t;

constexpr command_code make_command_code(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2,
                                         std::uint8_t b3) {
    return static_cast<command_code>(b0) | static_cast<command_code>(b1) << 8 |
           static_cast<command_code>(b2) << 16 | static_cast<command_code>(b3) << 24;
}

constexpr command_code make_command_code(const char (&letters)[5]) {
    return make_command_code(
        static_cast<std::uint8_t>(letters[0]), static_cast<std::uint8_t>(letters[1]),
        static_cast<std::uint8_t>(letters[2]), static_cast<std::uint8_t>(letters[3]));
}

// The four bytes exactly as they arrived.
constexpr command_code command_code_from_wire(const std::uint8_t (&bytes)[4]) {
    return make_command_code(bytes[0], bytes[1], bytes[2], bytes[3]);
}

// Byte i (0 to 3) of the code in wire order.
constexpr char command_code_byte(command_code code, int i) {
    return static_cast<char>((code >> (8 * i)) & 0xFF);
}

namespace commands {
inline constexpr command_code play = make_command_code("PLAY");
inline constexpr command_code add = make_command_code("LADD");
inline constexpr command_code stop = make_command_code("STOP");
inline constexpr command_code pause = make_command_code("PAUS");
inline constexpr command_code start = make_command_code("STRT");
inline constexpr command_code next = make_command_code("NEXT");
inline constexpr command_code previous = make_command_code("PREV");
inline constexpr command_code fade = make_command_code("FADE");
inline constexpr command_code fast_forward = make_command_code("FFWD");
inline constexpr command_code rewind = make_command_code("RWND");
inline constexpr command_code seek = make_command_code("SEEK");
inline constexpr command_code select = make_command_code("SLCT");
inline constexpr command_code volume = make_command_code("VOLM");
inline constexpr command_code shuffle = make_command_code("SHFL");
inline constexpr command_code repeat = make_command_code("REPT");
inline constexpr command_code stop_at_end = make_command_code("STEN");
inline constexpr command_code remove_all = make_command_code("RMAL");
inline constexpr command_code check = make_command_code("CHCK");
inline constexpr command_code info = make_command_code("INFO");
inline constexpr command_code info2 = make_command_code("INF2");
inline constexpr command_code get_volume = make_command_code("GVOL");
inline constexpr command_code version = make_command_code("VERS");
inline constexpr command_code playlist_length = make_command_code("PLEN");
inline constexpr command_code detailed_info = make_command_code("DINF");
inline constexpr command_code file_info = make_command_code("FINF");
inline constexpr command_code playlist = make_command_code("PLST");
inline constexpr command_code list = make_command_code("LIST");
inline constexpr command_code folder_list = make_command_code("DLST");
}  // namespace commands

// One of the 28 codes the phone may send. Any other code means the stream is out of step.
constexpr bool is_known_command(command_code code) {
    using namespace commands;
    constexpr command_code known[] = {play,
                                      add,
                                      stop,
                                      pause,
                                      start,
                                      next,
                                      previous,
                                      fade,
                                      fast_forward,
                                      rewind,
                                      seek,
                                      select,
                                      volume,
                                      shuffle,
                                      repeat,
                                      stop_at_end,
                                      remove_all,
                                      check,
                                      info,
                                      info2,
                                      get_volume,
                                      version,
                                      playlist_length,
                                      detailed_info,
                                      file_info,
                                      playlist,
                                      list,
                                      folder_list};
    static_assert(sizeof known / sizeof known[0] == 28);
    for (const command_code listed : known) {
        if (listed == code) {
            return true;
        }
    }
    return false;
}

static_assert(commands::info == 0x4F464E49u);

}  // namespace tessel
