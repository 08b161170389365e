#pragma once
// This test program's operator new, which can fail one chosen allocation of the thread that
// armed it (std::bad_alloc), so that a step run on the player's main thread can be failed at
// each of its allocations in turn while other threads allocate undisturbed.

#include <cstddef>

namespace tessel::test::failing_new {

// On the calling thread only: counts from zero again; the fail_at-th allocation fails.
void arm(std::size_t fail_at);
void disarm();

// Whether the chosen allocation was reached and failed.
bool has_failed();

// For this program's operator new: counts one allocation; true when it is the one to fail.
bool takes_failure();

}  // namespace tessel::test::failing_new
