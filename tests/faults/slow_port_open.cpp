#include "tests/faults/slow_port_open.h"

#include <dlfcn.h>

#include <condition_variable>
#include <mutex>

#include "corvina/shared.h"

namespace tessel::test::slow_port_open {

namespace {

using clock = std::chrono::steady_clock;

std::mutex mutex;
std::condition_variable changed;
std::string held_path;
clock::time_point held_until;
int waiting_opens = 0;

bool holding() {
    return !held_path.empty() && clock::now() < held_until;
}

// Called by the open before it goes to the library.
void wait_if_held(const char* path) {
    std::unique_lock<std::mutex> lock(mutex);
    if (!holding() || held_path != path) {
        return;
    }
    ++waiting_opens;
    changed.notify_all();
    changed.wait_until(lock, held_until, [] { return !holding(); });
    --waiting_opens;
}

}  // namespace

void hold(const std::string& path, std::chrono::milliseconds limit) {
    const std::lock_guard<std::mutex> lock(mutex);
    held_path = path;
    held_until = clock::now() + limit;
}

void release() {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        held_path.clear();
    }
    changed.notify_all();
}

bool await_waiting_open(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, limit, [] { return waiting_opens > 0; });
}

}  // namespace tessel::test::slow_port_open

// Takes the place of the library's function in this program; the library's own is the next one
// the dynamic linker finds.
extern "C" corvina::file_handle uCreateFile(const char* path, std::uint32_t access,
                                            std::uint32_t share_mode, void* security,
                                            std::uint32_t disposition, std::uint32_t flags,
                                            corvina::file_handle template_file) {
    using open_function =
        corvina::file_handle (*)(const char*, std::uint32_t, std::uint32_t, void*, std::uint32_t,
                                 std::uint32_t, corvina::file_handle);
    static const auto library_open =
        reinterpret_cast<open_function>(dlsym(RTLD_NEXT, "uCreateFile"));
    tessel::test::slow_port_open::wait_if_held(path);
    if (library_open == nullptr) {
        return corvina::invalid_file_handle;
    }
    return library_open(path, access, share_mode, security, disposition, flags, template_file);
}
