#pragma once
// The threads this process started since a moment, from /proc (Linux only). They are told apart
// by id, so that a thread of an earlier test still ending at that moment does not count against
// a later check. A program's first thread may bring a sanitizer's helper thread along: take the
// baseline after one thread has come and gone.

#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <thread>
#include <vector>

namespace tessel::test {

// The ids of this process's threads right now, sorted.
inline std::vector<long> thread_ids() {
    std::vector<long> ids;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks)) {
            if (entry->d_name[0] != '.') {
                ids.push_back(std::strtol(entry->d_name, nullptr, 10));
            }
        }
        closedir(tasks);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

class thread_census {
  public:
    thread_census() : baseline_(thread_ids()) {}

    // Threads running now that were not running when the census was made.
    std::size_t started() const {
        const std::vector<long> now = thread_ids();
        return static_cast<std::size_t>(std::count_if(now.begin(), now.end(), [this](long id) {
            return !std::binary_search(baseline_.begin(), baseline_.end(), id);
        }));
    }

    // Waits until started() is the expected count, or the limit passes; answers the last
    // count. A thread that was joined leaves the process's list a moment after the join
    // returned, later still on a loaded machine.
    std::size_t settled(std::size_t expected,
                        std::chrono::milliseconds limit = std::chrono::seconds(2)) const {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::size_t count = started();
        while (count != expected && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            count = started();
        }
        return count;
    }

  private:
    std::vector<long> baseline_;
};

}  // namespace tessel::test
