#pragma once
// The music-folder tree sent to the phone, written into the reply as the folders are walked:
// one (flags, name, 0x00) record per listed entry, in pre-order, each folder's entries right
// after its own record.
//
// flags: high nibble = position among siblings (0 root, 1 first, 3 middle, 4 last, 2 only
// one); low nibble = kind (1 folder with its contents, 2 file, 3 folder without contents).
//
// Trees can be as deep as the file system allows: the walk keeps an explicit stack, never
// recursion. Only the listings of the folders on the way down are held, never the tree.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/string8.h"

namespace tessel {

class file_system_gate;
class reply_buffer;

namespace folder_flags {
inline constexpr std::uint8_t root = 0x01;
inline constexpr std::uint8_t kind_mask = 0x0F;
inline constexpr std::uint8_t kind_folder = 0x01;
inline constexpr std::uint8_t kind_file = 0x02;
inline constexpr std::uint8_t kind_folder_unlisted = 0x03;
inline constexpr std::uint8_t position_first = 0x10;
inline constexpr std::uint8_t position_only = 0x20;
inline constexpr std::uint8_t position_middle = 0x30;
inline constexpr std::uint8_t position_last = 0x40;
}  // namespace folder_flags

// parent_path + name + "\": the folder path the walk lists and hands on to subfolders.
string8 folder_path(const string8& parent_path, const string8& name);

// Appends the records of folder parent_path + name + "\": its own record with flags, then its
// entries. Subfolders are walked when recurse is set, else listed without contents; folders
// whose name begins with '.' are skipped, and a folder already on the path being walked
// (through a link) is listed without contents, as is one whose identity is not known deeper
// than a bound. A subfolder that cannot be listed takes no place among its siblings. Each
// folder whose contents are left out but a link's is counted in unlisted, when given. False,
// with nothing appended, when the folder cannot be listed.
//
// Each record is appended whole or not at all: when the reply cannot grow, entries are left
// out (with their contents), never cut, and the reply is no longer whole (it is not sent).
// Throws bad_alloc when the walk itself runs out of memory.
//
// With a gate, each call into the file system goes through it and the walk ends early, with
// the reply unfinished, once the gate is told to stop.
bool walk_folder(reply_buffer& reply, const string8& name, const string8& parent_path,
                 std::uint8_t flags, bool recurse, file_system_gate* gate = nullptr,
                 std::size_t* unlisted = nullptr);

// A LISTACK reply: the token, the records a walk appends, then the end mark.
reply_buffer start_listing_reply();
void end_listing_reply(reply_buffer& reply);

// The music-folder setting cut at each ';', empty pieces included.
std::vector<string8> split_music_folders(const string8& folders);

// Appends the records for the whole music-folder setting: one folder walked as the root, or
// with several a nameless root holding each folder that could be read. Logs one line with the
// number of folders that could not be listed, if any (a walk that was stopped logs nothing).
void walk_music_folders(reply_buffer& reply, const string8& folders,
                        file_system_gate* gate = nullptr);

}  // namespace tessel
