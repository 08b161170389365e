#pragma once
// An owner for a directory search of the player's wrapper library: ends the search when it
// goes out of scope.

#include <memory>

#include "corvina/shared.h"

namespace tessel {

struct file_search_end {
    void operator()(corvina::find_file* search) const { search->destroy(); }
};

using file_search = std::unique_ptr<corvina::find_file, file_search_end>;

// Null when nothing matches.
file_search start_file_search(const char* pattern);

// For tests: searches start through the given function from now on (null: the wrapper
// library's uFindFirstFile).
using file_search_starter = corvina::find_file* (*)(const char* pattern);
void use_file_search_starter(file_search_starter start);

}  // namespace tessel
