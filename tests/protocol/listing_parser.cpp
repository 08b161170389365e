#include "listing_parser.h"

#include <algorithm>

namespace tessel::test {

namespace {

struct cursor {
    const std::string& bytes;
    std::size_t at;

    bool at_end_mark() const {
        return at + 2 == bytes.size() && bytes[at] == '\xFF' && bytes[at + 1] == '\0';
    }
    int peek_position() const {
        return at < bytes.size() && !at_end_mark() ? (static_cast<std::uint8_t>(bytes[at]) >> 4)
                                                   : -1;
    }
};

// One record and, for a folder with contents, the entries after it. Uses an explicit stack so
// deep listings parse too.
bool read_tree(cursor& c, listed_node& root) {
    struct open_folder {
        listed_node* node;
        bool closed;
    };
    std::vector<open_folder> open;
    auto read_record = [&c](listed_node& node) {
        if (c.at >= c.bytes.size() || c.at_end_mark()) {
            return false;
        }
        node.flags = static_cast<std::uint8_t>(c.bytes[c.at++]);
        const std::size_t zero = c.bytes.find('\0', c.at);
        if (zero == std::string::npos) {
            return false;
        }
        node.name = c.bytes.substr(c.at, zero - c.at);
        c.at = zero + 1;
        return true;
    };
    if (!read_record(root)) {
        return false;
    }
    open.push_back({&root, false});
    while (!open.empty()) {
        open_folder& top = open.back();
        const int kind = top.node->flags & 0x0F;
        const int next_position = c.peek_position();
        // Entries of a folder start with position 1 or 2; a later one is the folder's sibling.
        const bool has_more =
            kind == 1 && !top.closed &&
            (top.node->entries.empty() ? (next_position == 1 || next_position == 2) : true);
        if (!has_more) {
            open.pop_back();
            continue;
        }
        listed_node& entry = top.node->entries.emplace_back();
        listed_node* entry_ptr = &entry;
        if (!read_record(entry)) {
            return false;
        }
        const int position = entry.flags >> 4;
        if (position == 2 || position == 4) {
            top.closed = true;
        }
        open.push_back({entry_ptr, false});
    }
    return true;
}

}  // namespace

parsed_listing parse_listing(const std::string& reply) {
    parsed_listing result;
    if (reply.compare(0, 7, "LISTACK") != 0) {
        return result;
    }
    cursor c{reply, 7};
    while (!c.at_end_mark()) {
        if (!read_tree(c, result.roots.emplace_back())) {
            return result;
        }
    }
    result.well_formed = true;
    return result;
}

std::string shape(const listed_node& node) {
    std::string text = node.name + "(" + std::to_string(node.flags & 0x0F) + ")";
    if (node.entries.empty()) {
        return text;
    }
    std::vector<std::string> parts;
    for (const listed_node& entry : node.entries) {
        parts.push_back(shape(entry));
    }
    std::sort(parts.begin(), parts.end());
    text += "[";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        text += (i == 0 ? "" : " ") + parts[i];
    }
    return text + "]";
}

bool positions_follow_listing_order(const listed_node& node) {
    const std::size_t count = node.entries.size();
    for (std::size_t i = 0; i < count; ++i) {
        const int position = node.entries[i].flags >> 4;
        const int expected = count == 1 ? 2 : i == 0 ? 1 : i + 1 == count ? 4 : 3;
        if (position != expected || !positions_follow_listing_order(node.entries[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace tessel::test
