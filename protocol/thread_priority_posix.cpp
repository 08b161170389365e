#include "protocol/thread_priority.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace tessel {

void raise_current_thread_priority() {
#if defined(__linux__)
    // On Linux a nice value belongs to one thread when addressed by its thread id.
    const auto thread_id = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, thread_id);
    if (errno == 0) {
        // Without the right to raise priority this fails and the thread keeps its own.
        (void)::setpriority(PRIO_PROCESS, thread_id, current - 2);
    }
#endif
}

}  // namespace tessel
