#pragma once
// The heap in use by the whole process, counted by the malloc family that heap_counter.cpp
// puts in front of the C library's (operator new reaches it too). Link heap_counter.cpp into a
// benchmark program to have it; every thread's blocks count.

#include <cstddef>

namespace tessel::bench {

// Bytes in live heap blocks, as usable sizes.
std::size_t heap_in_use();

// The highest heap_in_use() since the last reset.
std::size_t heap_peak();

// Starts a new high-water mark at the present use.
void reset_heap_peak();

}  // namespace tessel::bench
