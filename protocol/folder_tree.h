#pragma once
// The music-folder tree sent to the phone: one node per listed entry, serialised in pre-order
// as (flags, name, 0x00) records.
//
// flags: high nibble = position among siblings (0 root, 1 first, 3 middle, 4 last, 2 only
// one); low nibble = kind (1 folder with its contents, 2 file, 3 folder without contents).
//
// Trees can be as deep as the file system allows: walking, serialising and freeing use
// explicit stacks, never recursion.

#include <cstdint>
#include <memory>
#include <vector>

#include "support/string8.h"

namespace tessel {

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

struct folder_node {
    folder_node(std::uint8_t node_flags, string8 node_name);
    folder_node(const folder_node&) = delete;
    folder_node& operator=(const folder_node&) = delete;
    // Frees the subtree without recursion.
    ~folder_node();

    std::uint8_t flags;
    std::unique_ptr<folder_node> first;              // the folder's first entry
    std::vector<std::unique_ptr<folder_node>> rest;  // every later entry, in listing order
    string8 name;  // as listed; for a top-level node the folder path as given
};

// Adds an entry after the folder's others, as `first` when it has none yet.
folder_node& place_entry(folder_node& folder, std::unique_ptr<folder_node> entry);

// The position (1 first or 3 middle) that the folder's next entry gets.
std::uint8_t next_entry_position(const folder_node& folder);

// Gives the folder's last entry position 4, or 2 when it is the only one.
void mark_last_entry(folder_node& folder);

// parent_path + name + "\": the folder path the walk lists and hands on to subfolders.
string8 folder_path(const string8& parent_path, const string8& name);

// Lists folder parent_path + name + "\". Subfolders are walked when recurse is set, else listed
// without contents; folders whose name begins with '.' are skipped, and a folder already on
// the path being walked (through a link) is listed without contents. Null when the folder
// cannot be listed.
std::unique_ptr<folder_node> walk_folder(const string8& name, const string8& parent_path,
                                         std::uint8_t flags, bool recurse);

// The music-folder setting cut at each ';', empty pieces included.
std::vector<string8> split_music_folders(const string8& folders);

// The tree for the whole music-folder setting: one folder walked as the root, or with several
// a nameless root holding each folder that could be read.
std::unique_ptr<folder_node> walk_music_folders(const string8& folders);

// Appends the records of the node's subtree in pre-order; nothing for a missing node.
void serialise_tree(reply_buffer& buffer, const folder_node* node);

void free_tree(std::unique_ptr<folder_node> node);

}  // namespace tessel
