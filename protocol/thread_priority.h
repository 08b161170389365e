#pragma once
// Raising the calling thread's scheduling priority for the long folder walk.

namespace tessel {

// THREAD_PRIORITY_HIGHEST on Windows; on POSIX a best-effort lower nice value, silently kept
// as it is when the system does not allow it.
void raise_current_thread_priority();

}  // namespace tessel
