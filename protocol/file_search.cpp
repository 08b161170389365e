#include "protocol/file_search.h"

#include <atomic>

namespace tessel {

namespace {

corvina::find_file* wrapper_search(const char* pattern) {
    return uFindFirstFile(pattern);
}

std::atomic<file_search_starter> starter{wrapper_search};

}  // namespace

file_search start_file_search(const char* pattern) {
    return file_search(starter.load()(pattern));
}

void use_file_search_starter(file_search_starter start) {
    starter.store(start != nullptr ? start : wrapper_search);
}

}  // namespace tessel
