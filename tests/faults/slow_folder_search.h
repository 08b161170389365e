#pragma once
// A test double of the wrapper library's uFindFirstFile for this test program: a search whose
// pattern holds the given text waits until released, as a directory call on a share that has
// gone away waits a minute; every search may also be made to take a fixed time, as on a slow
// network share. Every search then goes to the library as it is.

#include <chrono>
#include <string>

namespace tessel::test::slow_folder_search {

// Searches whose pattern contains text wait from now until release(), or until the limit
// (so that a component that searches on the wrong thread fails the test instead of hanging it).
void hold(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(20));
void release();

// Waits until at least one held search is waiting; false after the limit.
bool await_held_search(std::chrono::milliseconds limit = std::chrono::seconds(10));

// Every search takes at least this long (zero: no delay).
void delay_every_search(std::chrono::milliseconds delay);

}  // namespace tessel::test::slow_folder_search
