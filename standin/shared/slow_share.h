#pragma once
// The stand-in can act as a music library on a slow network share, for tests and benchmarks of
// what a slow file system does to the player: with CORVINA_STANDIN_SEARCH_DELAY_MS set to a
// number of milliseconds, every directory search takes that much longer.

namespace corvina::standin_shared {

// Waits the delay the environment asks for, if any (read once per process).
void wait_as_a_slow_share();

}  // namespace corvina::standin_shared
