// tessel-phone's LIST of the generated 100,000-file tree, end to end: the real program on one
// end of a virtual serial cable, the real link on the other (link manager, reader thread and
// hand-off window, pumped on this program's main thread as the player pumps them). Beside it
// the same LIST read by a phone that does nothing but read the reply in 64 KiB blocks: the
// time the component takes to walk the tree and send it. The difference is what the tool adds
// (starting, reading, framing, decoding, printing the tree to /dev/null). A CHCK run through
// the tool shows its fixed cost (starting, opening the port, dropping stale bytes), beside a
// bare open, write, read and close of the same exchange.

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "bench/served_link.h"
#include "standin/player/virtual_serial.h"

extern char** environ;

namespace tessel::bench {
namespace {

using namespace std::chrono_literals;

constexpr int checks_per_round = 6;

// Sends LIST and reads until the whole reply came; the seconds it took, or a negative value.
double list_in_blocks(const std::string& port, std::size_t reply_size) {
    const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return -1.0;
    }
    std::vector<char> block(65536);
    const auto start = clock::now();
    std::size_t got = 0;
    if (::write(fd, "LIST", 4) == 4) {
        while (got < reply_size && clock::now() - start < 60s) {
            pollfd ready{fd, POLLIN, 0};
            if (::poll(&ready, 1, 1000) <= 0) {
                continue;
            }
            const ssize_t n = ::read(fd, block.data(), block.size());
            got += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
    }
    const double seconds = seconds_since(start);
    ::close(fd);
    return got == reply_size ? seconds : -1.0;
}

// Opens the port, sends CHCK, reads the "Y" and closes: the seconds it took, or a negative value.
double bare_check(const std::string& port) {
    const auto start = clock::now();
    const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return -1.0;
    }
    char answer = 0;
    bool answered = false;
    if (::write(fd, "CHCK", 4) == 4) {
        pollfd ready{fd, POLLIN, 0};
        answered = ::poll(&ready, 1, 5000) > 0 && ::read(fd, &answer, 1) == 1 && answer == 'Y';
    }
    ::close(fd);
    const double seconds = seconds_since(start);
    return answered ? seconds : -1.0;
}

// Runs tessel-phone with the arguments, its output to /dev/null; the seconds it took, or a
// negative value when it failed.
double run_tool(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    std::string program = TESSEL_PHONE_PROGRAM;
    argv.push_back(program.data());
    std::vector<std::string> words = arguments;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = clock::now();
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return -1.0;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const double seconds = seconds_since(start);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1.0;
}

int run(int rounds) {
    const music_tree tree = generated_music_tree();
    const std::string root = tree.root.string();
    const std::size_t reply_size = walk_into_reply(root);
    quiet_player player;
    standin::virtual_serial_cable cable;
    if (!start_served_link(cable.player_end(), root)) {
        return 1;
    }

    std::vector<double> block_times;
    std::vector<double> tool_times;
    std::vector<double> check_times;
    std::vector<double> bare_check_times;
    bool failed = false;
    serve_link_while([&] {
        // The first round warms the cache and is not counted.
        for (int round = 0; round <= rounds && !failed; ++round) {
            const double blocks = list_in_blocks(cable.phone_end(), reply_size);
            std::this_thread::sleep_for(300ms);
            const double tool = run_tool({cable.phone_end(), "list"});
            std::this_thread::sleep_for(300ms);
            // The PC rests 100 ms after each command: the checks are spaced further apart.
            for (int i = 0; i < checks_per_round && !failed; ++i) {
                const double check = run_tool({cable.phone_end(), "check"});
                std::this_thread::sleep_for(150ms);
                const double bare = bare_check(cable.phone_end());
                std::this_thread::sleep_for(150ms);
                failed = check < 0 || bare < 0;
                if (round > 0) {
                    check_times.push_back(check);
                    bare_check_times.push_back(bare);
                }
            }
            if (blocks < 0 || tool < 0 || failed) {
                std::fprintf(stderr, "Round %d failed: blocks %.3f, tool %.3f, checks %s\n", round,
                             blocks, tool, failed ? "failed" : "ok");
                failed = true;
            } else if (round > 0) {
                block_times.push_back(blocks);
                tool_times.push_back(tool);
            }
        }
    });
    if (failed) {
        return 1;
    }

    const double blocks = median(block_times);
    const double tool = median(tool_times);
    const double check = median(check_times);
    const double bare = median(bare_check_times);
    const double added = tool - blocks;
    std::printf("Tree: %zu files, %zu folders; LISTACK reply %zu bytes\n", tree.files, tree.folders,
                reply_size);
    std::printf("Medians of %d rounds (s):\n", rounds);
    std::printf("  LIST read in 64 KiB blocks (the component's walk and send) %7.3f\n", blocks);
    std::printf("  tessel-phone PORT list, end to end                         %7.3f\n", tool);
    std::printf("Medians of %zu checks (ms):\n", check_times.size());
    std::printf("  tessel-phone PORT check, end to end                        %7.2f\n",
                check * 1000);
    std::printf("  open, write CHCK, read Y, close                            %7.2f\n",
                bare * 1000);
    std::printf("The tool adds %.3f s to the LIST, %.2f ms to the CHCK\n", added,
                (check - bare) * 1000);
    print_summary(
        "tessel-phone PORT check over a pseudo-terminal, end to end, against a bare "
        "open, write, read and close of the same exchange",
        format_fixed(check * 1000, 1) + " ms against " + format_fixed(bare * 1000, 1) +
            " ms: " + format_fixed((check - bare) * 1000, 1) + " ms more",
        "within 20 ms", (check - bare) / 0.020);
    print_summary("tessel-phone LIST 100,000 files over a pseudo-terminal, end to end",
                  format_fixed(tool, 2) + " s (the component " + format_fixed(blocks, 2) +
                      " s; the tool adds " + format_fixed(added, 2) + " s, its start included)",
                  "adds <= 0.1 s", added / 0.1);
    return 0;
}

}  // namespace
}  // namespace tessel::bench

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    return tessel::bench::run(rounds > 0 ? rounds : 5);
}
