// Fails each allocation of the component in a scripted session in turn and checks that the
// player and the phone notice nothing worse than a dropped command or a refused connection.
//
//   tessel_alloc_failure_sweep MODULE            every allocation point
//   tessel_alloc_failure_sweep MODULE --points M  M points spread evenly (CI)
//   tessel_alloc_failure_sweep MODULE --only K    the K-th alone
//   tessel_alloc_failure_sweep MODULE --from A --to B   the points A to B
//
// Under the address sanitizer each session also ends with a leak check. The point being run is
// named before a crash or an abort ends the program.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "tests/alloc/scripted_session.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSEL_LEAK_CHECK 1
#endif
#endif
#if !defined(TESSEL_LEAK_CHECK) && defined(__SANITIZE_ADDRESS__)
#define TESSEL_LEAK_CHECK 1
#endif
#if defined(TESSEL_LEAK_CHECK)
#include <sanitizer/common_interface_defs.h>
#include <sanitizer/lsan_interface.h>
#endif

namespace {

std::size_t current_point = 0;

void name_the_point() {
    std::fprintf(stderr, "tessel_alloc_failure_sweep: ended while allocation %zu failed\n",
                 current_point);
}

// Runs one session; false, after saying why, when it showed a fault.
bool sweep_point(const tessel::test::session_stage& stage, std::size_t point,
                 tessel::test::reply_sizes& replies, std::size_t* allocations) {
    current_point = point;
    const tessel::test::session_outcome outcome = tessel::test::run_session(stage, point, replies);
    if (allocations != nullptr) {
        *allocations = outcome.allocations;
    }
    bool leaked = false;
#if defined(TESSEL_LEAK_CHECK)
    leaked = __lsan_do_recoverable_leak_check() != 0;
#endif
    if (outcome.problems.empty() && !leaked) {
        return true;
    }
    std::printf("allocation %zu (failed in %s):\n", point,
                outcome.failed_in.empty() ? "no step" : outcome.failed_in.c_str());
    for (const std::string& problem : outcome.problems) {
        std::printf("  %s\n", problem.c_str());
    }
    if (leaked) {
        std::printf("  leaked (see the report above)\n");
    }
    std::fflush(stdout);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s MODULE [--points M | --only K | --from A --to B]\n",
                     argv[0]);
        return 2;
    }
    std::size_t points = 0;  // 0: all
    std::size_t only = 0;
    std::size_t from = 1;
    std::size_t to = 0;  // 0: the last
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::size_t value = std::strtoull(argv[i + 1], nullptr, 10);
        if (option == "--points") {
            points = value;
        } else if (option == "--only") {
            only = value;
        } else if (option == "--from") {
            from = value;
        } else if (option == "--to") {
            to = value;
        }
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::set_terminate([] {
        name_the_point();
        std::abort();
    });
#if defined(TESSEL_LEAK_CHECK)
    __sanitizer_set_death_callback(name_the_point);
#endif

    tessel::test::session_stage stage(argv[1]);
    tessel::test::reply_sizes replies;
    std::size_t total = 0;
    if (!sweep_point(stage, 0, replies, &total)) {
        // Its replies are what the others expect: on a machine busy enough to lose a reply it
        // gets one more try.
        std::printf("the clean session failed; once more\n");
        replies.sizes.clear();
        if (!sweep_point(stage, 0, replies, &total)) {
            std::printf("the clean session failed\n");
            return 1;
        }
    }
    std::printf("a clean session makes %zu allocations\n", total);
    std::fflush(stdout);

    std::size_t swept = 0;
    std::size_t faulty = 0;
    const auto run = [&](std::size_t point) {
        ++swept;
        if (!sweep_point(stage, point, replies, nullptr)) {
            ++faulty;
        }
    };
    if (only != 0) {
        run(only);
    } else if (points == 0 || points >= total) {
        for (std::size_t point = std::max<std::size_t>(from, 1);
             point <= (to == 0 ? total : std::min(to, total)); ++point) {
            run(point);
        }
    } else {
        for (std::size_t i = 0; i < points; ++i) {
            run(1 + i * total / points);
        }
    }
    std::printf("%zu of %zu allocation points swept, %zu with faults\n", swept, total, faulty);
    return faulty == 0 ? 0 : 1;
}
