#pragma once
// Reads a LISTACK reply back into a tree, for checks that do not depend on the order in which
// the file system lists a folder.

#include <cstdint>
#include <string>
#include <vector>

namespace tessel::test {

struct listed_node {
    std::uint8_t flags = 0;
    std::string name;
    std::vector<listed_node> entries;
};

struct parsed_listing {
    bool well_formed = false;
    std::vector<listed_node> roots;  // empty for "LISTACK" FF 00
};

parsed_listing parse_listing(const std::string& reply);

// name(kind)[entries sorted by name]: "Music(1)[Rock(1)[b.mp3(2)] a.mp3(2)]".
std::string shape(const listed_node& node);

// Whether every folder's entries carry positions 1, 3 ... 3, 4 (or 2 for a single one).
bool positions_follow_listing_order(const listed_node& node);

}  // namespace tessel::test
