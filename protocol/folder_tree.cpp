#include "protocol/folder_tree.h"

#include <exception>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "protocol/file_search.h"
#include "protocol/folder_identity.h"
#include "support/log.h"
#include "support/reply_buffer.h"

namespace tessel {

namespace {

constexpr std::uint32_t attribute_directory = corvina::win32_values::file_attribute_directory;

struct listed_entry {
    string8 name;
    bool is_folder;
};

// Reads the whole listing at once, so that no search stays open while subfolders are walked
// (a deep tree would otherwise hold one open search per level).
std::optional<std::vector<listed_entry>> list_folder(const string8& path) {
    string8 pattern = path;
    pattern += "*.*";
    const file_search search = start_file_search(pattern.c_str());
    if (!search) {
        return std::nullopt;
    }
    std::vector<listed_entry> entries;
    do {
        entries.push_back(listed_entry{string8(search->get_name()),
                                       (search->get_attributes() & attribute_directory) != 0});
    } while (search->next());
    return entries;
}

bool is_dot_name(const string8& name) {
    return name.view().starts_with('.');
}

void take_entries(folder_node& node, std::vector<std::unique_ptr<folder_node>>& into) {
    if (node.first) {
        into.push_back(std::move(node.first));
    }
    for (std::unique_ptr<folder_node>& entry : node.rest) {
        into.push_back(std::move(entry));
    }
    node.rest.clear();
}

// One folder being listed: its node, its path and the entries still to place.
struct walk_frame {
    folder_node* node;
    string8 path;
    std::vector<listed_entry> entries;
    std::size_t next = 0;
    std::optional<folder_identity> identity;
};

}  // namespace

folder_node::folder_node(std::uint8_t node_flags, string8 node_name)
    : flags(node_flags), name(std::move(node_name)) {}

folder_node::~folder_node() {
    // A chain of owners would free itself recursively, one stack frame per level: detach every
    // descendant first so that each node dies with no entries of its own.
    std::vector<std::unique_ptr<folder_node>> doomed;
    take_entries(*this, doomed);
    while (!doomed.empty()) {
        std::unique_ptr<folder_node> node = std::move(doomed.back());
        doomed.pop_back();
        take_entries(*node, doomed);
    }
}

folder_node& place_entry(folder_node& folder, std::unique_ptr<folder_node> entry) {
    folder_node& placed = *entry;
    if (!folder.first) {
        folder.first = std::move(entry);
    } else {
        folder.rest.push_back(std::move(entry));
    }
    return placed;
}

std::uint8_t next_entry_position(const folder_node& folder) {
    return folder.first ? folder_flags::position_middle : folder_flags::position_first;
}

void mark_last_entry(folder_node& folder) {
    using namespace folder_flags;
    if (!folder.rest.empty()) {
        folder_node& last = *folder.rest.back();
        last.flags = static_cast<std::uint8_t>(position_last | (last.flags & kind_mask));
    } else if (folder.first) {
        folder.first->flags =
            static_cast<std::uint8_t>(position_only | (folder.first->flags & kind_mask));
    }
}

string8 folder_path(const string8& parent_path, const string8& name) {
    string8 path = parent_path;
    path += name.view();
    path += "\\";
    return path;
}

std::unique_ptr<folder_node> walk_folder(const string8& name, const string8& parent_path,
                                         std::uint8_t flags, bool recurse) {
    using namespace folder_flags;
    string8 path = folder_path(parent_path, name);
    std::optional<std::vector<listed_entry>> listing = list_folder(path);
    if (!listing) {
        return nullptr;
    }
    auto top = std::make_unique<folder_node>(flags, name);

    // The folders from the root down to the one being listed, by their real identity.
    std::set<folder_identity> on_path;
    std::optional<folder_identity> root_identity;
    if (recurse) {
        root_identity = identify_folder(path);
        if (root_identity) {
            on_path.insert(*root_identity);
        }
    }
    std::vector<walk_frame> stack;
    stack.push_back(walk_frame{top.get(), std::move(path), std::move(*listing), 0, root_identity});

    while (!stack.empty()) {
        walk_frame& frame = stack.back();
        if (frame.next == frame.entries.size()) {
            mark_last_entry(*frame.node);
            if (frame.identity) {
                on_path.erase(*frame.identity);
            }
            stack.pop_back();
            continue;
        }
        listed_entry entry = std::move(frame.entries[frame.next++]);
        folder_node& folder = *frame.node;
        const std::uint8_t position = next_entry_position(folder);
        // An entry that cannot be allocated is left out; the walk goes on.
        try {
            if (!entry.is_folder) {
                place_entry(folder, std::make_unique<folder_node>(
                                        static_cast<std::uint8_t>(position | kind_file),
                                        std::move(entry.name)));
                continue;
            }
            if (is_dot_name(entry.name)) {
                continue;
            }
            const auto unlisted = static_cast<std::uint8_t>(position | kind_folder_unlisted);
            if (!recurse) {
                place_entry(folder, std::make_unique<folder_node>(unlisted, std::move(entry.name)));
                continue;
            }
            string8 child_path = folder_path(frame.path, entry.name);
            const std::optional<folder_identity> identity = identify_folder(child_path);
            if (identity && on_path.count(*identity) != 0) {
                // A link back to a folder on the way down: listed, never entered again.
                place_entry(folder, std::make_unique<folder_node>(unlisted, std::move(entry.name)));
                continue;
            }
            std::optional<std::vector<listed_entry>> child_listing = list_folder(child_path);
            if (!child_listing) {
                continue;  // unreadable: takes no place among its siblings
            }
            folder_node& child = place_entry(
                folder,
                std::make_unique<folder_node>(static_cast<std::uint8_t>(position | kind_folder),
                                              std::move(entry.name)));
            // frame is not used past this point: the push may move it.
            stack.push_back(
                walk_frame{&child, std::move(child_path), std::move(*child_listing), 0, identity});
            if (identity) {
                on_path.insert(*identity);
            }
        } catch (const std::exception&) {
        }
    }
    return top;
}

std::vector<string8> split_music_folders(const string8& folders) {
    std::vector<string8> pieces;
    std::string_view rest = folders.view();
    for (;;) {
        const std::size_t separator = rest.find(';');
        pieces.emplace_back(rest.substr(0, separator));
        if (separator == std::string_view::npos) {
            return pieces;
        }
        rest.remove_prefix(separator + 1);
    }
}

std::unique_ptr<folder_node> walk_music_folders(const string8& folders) {
    using namespace folder_flags;
    if (folders.view().find(';') == std::string_view::npos) {
        return walk_folder(folders, string8(), root, true);
    }
    auto tree = std::make_unique<folder_node>(root, string8());
    for (const string8& folder : split_music_folders(folders)) {
        const auto flags = static_cast<std::uint8_t>(next_entry_position(*tree) | kind_folder);
        if (std::unique_ptr<folder_node> walked = walk_folder(folder, string8(), flags, true)) {
            place_entry(*tree, std::move(walked));
        }
    }
    mark_last_entry(*tree);
    return tree;
}

void serialise_tree(reply_buffer& buffer, const folder_node* node) {
    if (node == nullptr) {
        return;
    }
    std::vector<const folder_node*> pending{node};
    while (!pending.empty()) {
        const folder_node* current = pending.back();
        pending.pop_back();
        trace(current->name.view());
        buffer.append_byte(current->flags);
        buffer.append_text(current->name);
        buffer.append_byte(0);
        // Pushed in reverse so that `first` comes off next, then `rest` in order.
        for (auto entry = current->rest.rbegin(); entry != current->rest.rend(); ++entry) {
            pending.push_back(entry->get());
        }
        if (current->first) {
            pending.push_back(current->first.get());
        }
    }
}

void free_tree(std::unique_ptr<folder_node> node) {
    node.reset();
}

}  // namespace tessel
