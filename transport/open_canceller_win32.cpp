#include <windows.h>

#include <utility>

#include "transport/open_canceller.h"

namespace tessel {

open_canceller::~open_canceller() {
    disarm();
}

void open_canceller::arm() {
    disarm();
    HANDLE thread = nullptr;
    // GetCurrentThread answers a pseudo handle that means "the calling thread" to whoever uses
    // it: a real handle is needed for another thread to name this one.
    if (DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread,
                        THREAD_TERMINATE, FALSE, 0) != FALSE) {
        thread_ = reinterpret_cast<std::intptr_t>(thread);
    }
}

void open_canceller::disarm() {
    if (const std::intptr_t thread = std::exchange(thread_, 0); thread != 0) {
        CloseHandle(reinterpret_cast<HANDLE>(thread));
    }
}

void open_canceller::cancel() {
    if (thread_ != 0) {
        // ERROR_NOT_FOUND when the open has just returned: nothing to cut.
        CancelSynchronousIo(reinterpret_cast<HANDLE>(thread_));
    }
}

}  // namespace tessel
