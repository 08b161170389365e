#pragma once
// The number of threads this process has right now, from /proc (Linux only). A program's first
// thread may bring a sanitizer's helper thread along, so take a baseline after one thread has
// come and gone.

#include <dirent.h>

#include <cstddef>

namespace tessel::test {

inline std::size_t thread_count() {
    std::size_t count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks)) {
            count += entry->d_name[0] != '.';
        }
        closedir(tasks);
    }
    return count;
}

}  // namespace tessel::test
