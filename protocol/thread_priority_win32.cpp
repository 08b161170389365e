#include <windows.h>

#include "protocol/thread_priority.h"

namespace tessel {

void raise_current_thread_priority() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
}

}  // namespace tessel
