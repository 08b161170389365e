#include "protocol/folder_tree.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "protocol/file_search.h"
#include "protocol/file_system_gate.h"
#include "protocol/folder_identity.h"
#include "protocol/long_path.h"
#include "support/log.h"
#include "support/reply_buffer.h"

namespace tessel {

namespace {

constexpr std::uint32_t attribute_directory = corvina::win32_values::file_attribute_directory;

// One folder's entries in the order the search gave them, their names packed in one block.
struct folder_listing {
    struct entry {
        std::size_t name_at;
        std::size_t name_size;
        bool is_folder;

        bool operator==(const entry&) const = default;
    };

    std::string names;
    std::vector<entry> entries;

    std::string_view name_of(const entry& listed) const {
        return std::string_view(names).substr(listed.name_at, listed.name_size);
    }

    bool operator==(const folder_listing&) const = default;
};

// How deep the walk goes below a folder whose identity is not known, where a folder link back
// up the path cannot be told from a subfolder.
constexpr std::size_t unknown_identity_depth_bound = 64;

// Reads the whole listing at once, so that no search stays open while subfolders are walked
// (a deep tree would otherwise hold one open search per level).
std::optional<folder_listing> list_folder(const string8& path) {
    string8 pattern = path;
    pattern += "*.*";
    const file_search search = start_file_search(long_path_form(pattern).c_str());
    if (!search) {
        return std::nullopt;
    }
    folder_listing listing;
    do {
        const std::string_view name = search->get_name();
        listing.entries.push_back(
            folder_listing::entry{listing.names.size(), name.size(),
                                  (search->get_attributes() & attribute_directory) != 0});
        listing.names += name;
    } while (search->next());
    return listing;
}

bool is_dot_name(std::string_view name) {
    return name.starts_with('.');
}

// Appends one entry's record whole, or nothing when the reply cannot grow. Answers where its
// flags byte went.
std::optional<std::uint32_t> append_record(reply_buffer& reply, std::uint8_t flags,
                                           std::string_view name) {
    if (!reply.make_room(name.size() + 2)) {
        return std::nullopt;
    }
    trace(name);
    const std::uint32_t at = reply.size();
    reply.append_byte(flags);
    reply.append_bytes(name);
    reply.append_byte(0);
    return at;
}

// The positions of one folder's entries. Each record goes out as the first or a middle one;
// once the folder's listing has ended, the last record placed is marked last, or only. An
// entry that ends up with no record (an unreadable subfolder) so takes no place.
class sibling_positions {
  public:
    std::uint8_t next() const {
        return placed_ == 0 ? folder_flags::position_first : folder_flags::position_middle;
    }

    void placed(std::uint32_t flags_at) {
        ++placed_;
        last_flags_at_ = flags_at;
    }

    void finish(reply_buffer& reply) const {
        using namespace folder_flags;
        if (placed_ == 0) {
            return;
        }
        const std::uint8_t kind = reply.data()[last_flags_at_] & kind_mask;
        const std::uint8_t position = placed_ == 1 ? position_only : position_last;
        reply.set_byte(last_flags_at_, static_cast<std::uint8_t>(position | kind));
    }

  private:
    std::size_t placed_ = 0;
    std::uint32_t last_flags_at_ = 0;
};

// One folder being walked: its path, its listing and how far its entries have gone out.
struct walk_frame {
    string8 path;
    folder_listing listing;
    std::size_t next = 0;
    sibling_positions positions;
    std::optional<folder_identity> identity;
};

// Whether a subfolder is a folder on the path being walked, reached again through a link: the
// same identity, and the same listing. An identity alone is not believed, as some file
// systems give one folder's to others (one value for all, or duplicates).
bool reaches_folder_on_path(const std::optional<folder_identity>& identity,
                            const folder_listing& listing,
                            const std::multimap<folder_identity, std::size_t>& on_path,
                            const std::vector<walk_frame>& stack) {
    if (!identity) {
        return false;
    }
    const auto [first, end] = on_path.equal_range(*identity);
    return std::any_of(first, end,
                       [&](const auto& folder) { return stack[folder.second].listing == listing; });
}

}  // namespace

string8 folder_path(const string8& parent_path, const string8& name) {
    string8 path = parent_path;
    path += name.view();
    path += "\\";
    return path;
}

bool walk_folder(reply_buffer& reply, const string8& name, const string8& parent_path,
                 std::uint8_t flags, bool recurse, file_system_gate* gate, std::size_t* unlisted) {
    using namespace folder_flags;
    gated_calls calls(gate);
    string8 path = folder_path(parent_path, name);
    std::optional<folder_listing> listing = calls.run([&] { return list_folder(path); });
    if (!listing || !append_record(reply, flags, name.view())) {
        return false;
    }
    const auto count_unlisted = [unlisted] {
        if (unlisted != nullptr) {
            ++*unlisted;
        }
    };

    // The folders from the root down to the one being listed, by their real identity, with
    // their places on the stack.
    std::multimap<folder_identity, std::size_t> on_path;
    std::optional<folder_identity> root_identity;
    if (recurse) {
        root_identity = calls.run([&] { return known_folder_identity(path); });
        if (root_identity) {
            on_path.emplace(*root_identity, 0);
        }
    }
    std::vector<walk_frame> stack;
    stack.push_back(walk_frame{std::move(path), std::move(*listing), 0, {}, root_identity});

    while (!stack.empty()) {
        if (calls.stopped()) {
            return false;
        }
        walk_frame& frame = stack.back();
        if (frame.next == frame.listing.entries.size()) {
            frame.positions.finish(reply);
            if (frame.identity) {
                on_path.erase(std::prev(on_path.upper_bound(*frame.identity)));
            }
            stack.pop_back();
            continue;
        }
        const folder_listing::entry entry = frame.listing.entries[frame.next++];
        const std::string_view entry_name = frame.listing.name_of(entry);
        const std::uint8_t position = frame.positions.next();
        auto place = [&frame, &reply](std::uint8_t entry_flags, std::string_view placed_name) {
            const std::optional<std::uint32_t> at = append_record(reply, entry_flags, placed_name);
            if (at) {
                frame.positions.placed(*at);
            }
            return at.has_value();
        };
        if (!entry.is_folder) {
            place(static_cast<std::uint8_t>(position | kind_file), entry_name);
            continue;
        }
        if (is_dot_name(entry_name)) {
            continue;
        }
        const auto unlisted_flags = static_cast<std::uint8_t>(position | kind_folder_unlisted);
        if (!recurse) {
            place(unlisted_flags, entry_name);
            continue;
        }
        // Memory running out ends the walk (bad_alloc): the listing is dropped, never sent
        // with folders missing.
        string8 child_path = folder_path(frame.path, string8(entry_name));
        const std::optional<folder_identity> identity =
            calls.run([&] { return known_folder_identity(child_path); });
        if (!identity && stack.size() >= unknown_identity_depth_bound) {
            count_unlisted();
            place(unlisted_flags, entry_name);
            continue;
        }
        std::optional<folder_listing> child_listing =
            calls.run([&] { return list_folder(child_path); });
        if (!child_listing) {
            if (!calls.stopped()) {
                count_unlisted();
            }
            continue;  // unreadable: takes no place among its siblings
        }
        if (reaches_folder_on_path(identity, *child_listing, on_path, stack)) {
            // A link back to a folder on the way down: listed, never entered again.
            place(unlisted_flags, entry_name);
            continue;
        }
        if (!place(static_cast<std::uint8_t>(position | kind_folder), entry_name)) {
            continue;
        }
        // frame and entry_name are not used past this point: the push may move them.
        stack.push_back(
            walk_frame{std::move(child_path), std::move(*child_listing), 0, {}, identity});
        if (identity) {
            on_path.emplace(*identity, stack.size() - 1);
        }
    }
    return true;
}

reply_buffer start_listing_reply() {
    constexpr std::uint32_t initial_capacity = 65536;
    reply_buffer reply(initial_capacity);
    reply.append_bytes("LISTACK");
    return reply;
}

void end_listing_reply(reply_buffer& reply) {
    reply.append_byte(0xFF);
    reply.append_byte(0x00);
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

namespace {

// Counts in unlisted the folders that could not be listed.
void walk_every_music_folder(reply_buffer& reply, const string8& folders, file_system_gate* gate,
                             std::size_t& unlisted) {
    using namespace folder_flags;
    if (folders.view().find(';') == std::string_view::npos) {
        if (!walk_folder(reply, folders, string8(), root, true, gate, &unlisted) &&
            !folders.is_empty()) {
            ++unlisted;
        }
        return;
    }
    if (!append_record(reply, root, std::string_view())) {
        return;
    }
    sibling_positions positions;
    for (const string8& folder : split_music_folders(folders)) {
        const std::uint32_t flags_at = reply.size();
        const auto flags = static_cast<std::uint8_t>(positions.next() | kind_folder);
        if (gate != nullptr && gate->stop_requested()) {
            return;
        }
        if (walk_folder(reply, folder, string8(), flags, true, gate, &unlisted)) {
            positions.placed(flags_at);
        } else if (!folder.is_empty()) {
            ++unlisted;  // an empty piece names no folder
        }
    }
    positions.finish(reply);
}

}  // namespace

void walk_music_folders(reply_buffer& reply, const string8& folders, file_system_gate* gate) {
    std::size_t unlisted = 0;
    walk_every_music_folder(reply, folders, gate, unlisted);
    // A walk that was stopped says nothing.
    if (unlisted > 0 && (gate == nullptr || !gate->stop_requested())) {
        scratch_string8 line("Could not list ");
        line += std::to_string(unlisted);
        line += unlisted == 1 ? " folder." : " folders.";
        log_error(line.view());
    }
}

}  // namespace tessel
