#pragma once
// The component's heap, as the test build of its module reaches it: that module is linked with
// every allocation function wrapped (see CMakeLists.txt), and the wrappers, here, count each
// allocation the component's own code asks for and can make one of them fail. Allocations of
// the test program, the player's libraries and the C++ runtime are not seen.
//
// A failing operator new throws std::bad_alloc (the nothrow forms answer null); a failing
// malloc, calloc, realloc or aligned allocation answers null with ENOMEM.

#include <cstddef>

namespace tessel::test::failing_heap {

// Counts from zero again; the fail_at-th allocation from now on fails (0: none does).
// Allocations count only while armed.
void arm(std::size_t fail_at);
void disarm();

// Allocations counted since arm().
std::size_t count();
// Whether the chosen allocation has been reached and failed.
bool has_failed();

}  // namespace tessel::test::failing_heap
