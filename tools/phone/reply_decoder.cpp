#include "tools/phone/reply_decoder.h"

#include <utility>

#include "tools/phone/reply_framer.h"

namespace tessel::phone {
namespace {

std::uint32_t read_u32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | std::uint32_t{bytes[at + 3]};
}

std::int32_t read_i32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::int32_t>(read_u32(bytes, at));
}

std::uint16_t read_u16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

std::string text_of(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

decoded_reply failure(std::string text) {
    return {std::nullopt, std::move(text)};
}

decoded_reply success(reply_value value) {
    return {std::move(value), {}};
}

decoded_reply decode_status(std::span<const std::uint8_t> body, bool terminated) {
    if (body.size() < 11 + (terminated ? 1u : 0u)) {
        return failure("status reply shorter than its fixed part");
    }
    status_reply status;
    status.state_bits = body[0];
    status.length = read_i32(body, 1);
    status.position = read_i32(body, 5);
    status.shuffle = body[9] != 0;
    status.repeat = body[10] != 0;
    std::span<const std::uint8_t> title = body.subspan(11);
    if (terminated) {
        if (title.back() != 0) {
            return failure("title not followed by 00");
        }
        title = title.first(title.size() - 1);
    }
    status.title = text_of(title);
    return success(std::move(status));
}

decoded_reply decode_playlist(std::span<const std::uint8_t> body) {
    playlist_reply playlist;
    if (body.size() == 4 && body[0] == 0 && body[1] == 0 && body[2] == 0 && body[3] == 0) {
        playlist.too_long = true;
        return success(std::move(playlist));
    }
    if (body.size() < 6) {
        return failure("playlist shorter than its index and end mark");
    }
    playlist.playing_index = read_u16(body, 0);
    const std::span<const std::uint8_t> end_mark = body.last(4);
    for (std::uint8_t byte : end_mark) {
        if (byte != 0) {
            return failure("playlist does not end in 00 00 00 00");
        }
    }
    std::span<const std::uint8_t> lines = body.subspan(2, body.size() - 6);
    while (!lines.empty()) {
        std::size_t end = 0;
        while (end < lines.size() && lines[end] != '\n') {
            ++end;
        }
        if (end == lines.size()) {
            return failure("the last title has no line feed");
        }
        playlist.titles.push_back(text_of(lines.first(end)));
        lines = lines.subspan(end + 1);
    }
    return success(std::move(playlist));
}

bool valid_flags(std::uint8_t flags, bool is_root) {
    const unsigned position = flags >> 4;
    const unsigned kind = flags & 0x0F;
    if (kind < 1 || kind > 3 || position > 4) {
        return false;
    }
    // Only the root has position 0, and the root is a folder whose contents follow.
    return is_root ? flags == 0x01 : position != 0;
}

// Places the pre-order records: after a folder whose contents follow come its entries, the
// first with position 1 (or 2 when alone), the last with 4 (or 2); an empty folder has none.
// An explicit stack, not recursion: a tree may be deeper than the call stack allows.
decoded_reply decode_folder_tree(std::span<const std::uint8_t> body) {
    struct open_folder {
        bool has_entries = false;
        bool more_expected = false;
    };
    folder_tree_reply tree;
    std::vector<open_folder> open;
    std::size_t at = 0;
    while (true) {
        if (at >= body.size()) {
            return failure("folder tree without end mark");
        }
        const std::uint8_t flags = body[at];
        if (flags == 0xFF) {
            break;
        }
        std::size_t name_end = at + 1;
        while (name_end < body.size() && body[name_end] != 0) {
            ++name_end;
        }
        if (name_end == body.size()) {
            return failure("folder-tree name without terminating 00");
        }
        // Only for an error: a tree of many records is decoded without a text per record.
        auto where = [at] { return " (record at byte " + std::to_string(at + 7) + ")"; };
        const bool is_root = tree.entries.empty();
        if (!valid_flags(flags, is_root)) {
            return failure("invalid flags " + hex_bytes(std::span(&body[at], 1)) + where());
        }
        const auto position = static_cast<folder_position>(flags >> 4);
        if (!is_root) {
            // Close the folders this record cannot belong to.
            while (!open.empty()) {
                const open_folder& top = open.back();
                if (top.more_expected) {
                    break;
                }
                const bool starts_list =
                    position == folder_position::first || position == folder_position::only;
                if (!top.has_entries && starts_list) {
                    break;
                }
                open.pop_back();
            }
            if (open.empty()) {
                return failure("record outside the tree" + where());
            }
            open_folder& parent = open.back();
            const bool starts_list =
                position == folder_position::first || position == folder_position::only;
            if (parent.has_entries == starts_list) {
                return failure("record out of place among its siblings" + where());
            }
            parent.has_entries = true;
            parent.more_expected =
                position == folder_position::first || position == folder_position::middle;
        }
        folder_entry entry;
        entry.flags = flags;
        entry.name = text_of(body.subspan(at + 1, name_end - at - 1));
        entry.depth = open.size();
        if (entry.kind() == folder_kind::folder) {
            open.push_back({});
        }
        tree.entries.push_back(std::move(entry));
        at = name_end + 1;
    }
    if (at + 2 != body.size() || body[at + 1] != 0) {
        return failure("bytes after the end mark FF 00");
    }
    for (const open_folder& folder : open) {
        if (folder.more_expected) {
            return failure("folder tree ends while a folder's entries are incomplete");
        }
    }
    return success(std::move(tree));
}

}  // namespace

decoded_reply decode_reply(reply_kind kind, std::span<const std::uint8_t> bytes,
                           std::size_t token_size) {
    if (bytes.size() < token_size) {
        return failure("reply shorter than its token");
    }
    const std::span<const std::uint8_t> body = bytes.subspan(token_size);
    auto need = [&](std::size_t size) { return body.size() == size; };
    switch (kind) {
        case reply_kind::none:
            break;
        case reply_kind::check:
            if (need(1) && body[0] == 'Y') {
                return success(check_reply{});
            }
            return failure("expected the single byte Y");
        case reply_kind::status:
            return decode_status(body, false);
        case reply_kind::status_terminated:
            return decode_status(body, true);
        case reply_kind::volume:
            if (need(1)) {
                return success(volume_reply{body[0]});
            }
            return failure("volume reply is not 8 bytes");
        case reply_kind::version:
            if (need(2)) {
                return success(version_reply{body[0], body[1]});
            }
            return failure("version reply is not 9 bytes");
        case reply_kind::playlist_length:
            if (need(2)) {
                return success(playlist_length_reply{read_u16(body, 0)});
            }
            return failure("playlist length is not 2 bytes");
        case reply_kind::details:
            if (need(12)) {
                return success(
                    details_reply{read_i32(body, 0), read_i32(body, 4), read_i32(body, 8)});
            }
            return failure("details reply is not 19 bytes");
        case reply_kind::file_info:
            if (need(4)) {
                return success(file_info_reply{read_u32(body, 0)});
            }
            return failure("file-info reply is not 11 bytes");
        case reply_kind::playlist:
            return decode_playlist(body);
        case reply_kind::folder_tree:
            return decode_folder_tree(body);
    }
    return failure("no reply expected");
}

std::string_view position_name(folder_position position) {
    switch (position) {
        case folder_position::root:
            return "root";
        case folder_position::first:
            return "first";
        case folder_position::only:
            return "only";
        case folder_position::middle:
            return "middle";
        case folder_position::last:
            return "last";
    }
    return "?";
}

std::string_view kind_name(folder_kind kind) {
    switch (kind) {
        case folder_kind::folder:
            return "folder";
        case folder_kind::file:
            return "file";
        case folder_kind::unlisted_folder:
            return "folder-unlisted";
    }
    return "?";
}

}  // namespace tessel::phone
