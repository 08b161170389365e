#include "tests/faults/slow_folder_search.h"

#include <dlfcn.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "corvina/shared.h"

namespace tessel::test::slow_folder_search {

namespace {

using clock = std::chrono::steady_clock;

std::mutex mutex;
std::condition_variable changed;
std::string held_text;
clock::time_point held_until;
int held_searches = 0;
std::chrono::milliseconds every_search_delay{0};

bool holding() {
    return !held_text.empty() && clock::now() < held_until;
}

// Called by the search before it goes to the library.
void wait_if_held(const char* pattern) {
    std::unique_lock<std::mutex> lock(mutex);
    const std::chrono::milliseconds delay = every_search_delay;
    if (holding() && std::string(pattern).find(held_text) != std::string::npos) {
        ++held_searches;
        changed.notify_all();
        changed.wait_until(lock, held_until, [] { return !holding(); });
        --held_searches;
    }
    lock.unlock();
    std::this_thread::sleep_for(delay);
}

}  // namespace

void hold(const std::string& text, std::chrono::milliseconds limit) {
    const std::lock_guard<std::mutex> lock(mutex);
    held_text = text;
    held_until = clock::now() + limit;
}

void release() {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        held_text.clear();
    }
    changed.notify_all();
}

bool await_held_search(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, limit, [] { return held_searches > 0; });
}

void delay_every_search(std::chrono::milliseconds delay) {
    const std::lock_guard<std::mutex> lock(mutex);
    every_search_delay = delay;
}

}  // namespace tessel::test::slow_folder_search

// Takes the place of the library's function in this program; the library's own is the next one
// the dynamic linker finds.
extern "C" corvina::find_file* uFindFirstFile(const char* pattern) {
    using search_function = corvina::find_file* (*)(const char*);
    static const auto library_search =
        reinterpret_cast<search_function>(dlsym(RTLD_NEXT, "uFindFirstFile"));
    tessel::test::slow_folder_search::wait_if_held(pattern != nullptr ? pattern : "");
    return library_search != nullptr ? library_search(pattern) : nullptr;
}
