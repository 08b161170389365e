// A module with one thread of the component's kind that is let go, for the test that unloads a
// module while such a thread still runs its code.

#include <atomic>
#include <chrono>
#include <thread>

#include "support/module_thread.h"

#if defined(_WIN32)
#define PROBE_API extern "C" __declspec(dllexport)
#else
#define PROBE_API extern "C" __attribute__((visibility("default")))
#endif

// The thread runs this module's code until released, then says it has ended and returns.
PROBE_API void start_let_go_thread(const std::atomic<bool>* released, std::atomic<bool>* ended);

PROBE_API void start_let_go_thread(const std::atomic<bool>* released, std::atomic<bool>* ended) {
    tessel::module_thread thread([released, ended] {
        while (!released->load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ended->store(true);
    });
    thread.let_go();
}
