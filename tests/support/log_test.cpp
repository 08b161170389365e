#include "support/log.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "corvina/class_guids.h"
#include "support/host_access.h"
#include "tests/common/fake_host.h"

namespace tessel {
namespace {

using lines = std::vector<std::string>;

class log_test : public ::testing::Test {
  protected:
    log_test() { player.add_service(corvina::class_guids::console, console); }

    test::recording_console console;
    test::fake_host player;
};

TEST_F(log_test, info_line_is_written_unchanged) {
    test::host_guard guard(player);
    log_info("Connecting to serial port COM4");
    log_info("");
    EXPECT_EQ(console.lines(), (lines{"Connecting to serial port COM4", ""}));
    EXPECT_EQ(player.outstanding_references(), 0);
}

TEST_F(log_test, error_line_carries_the_prefix) {
    test::host_guard guard(player);
    log_error("Read error!");
    EXPECT_EQ(console.lines(), (lines{"ERROR : Read error!"}));
    EXPECT_EQ(player.outstanding_references(), 0);
}

TEST_F(log_test, text_with_a_nul_ends_at_the_nul) {
    test::host_guard guard(player);
    log_info(std::string_view("ab\0cd", 5));
    EXPECT_EQ(console.lines(), (lines{"ab"}));
}

TEST_F(log_test, nothing_is_written_while_services_are_unavailable) {
    test::host_guard guard(player, false);
    log_info("early");
    log_error("early");
    EXPECT_TRUE(console.lines().empty());
    EXPECT_EQ(player.outstanding_references(), 0);
}

TEST_F(log_test, every_console_gets_the_line_once) {
    test::recording_console second;
    player.add_service(corvina::class_guids::console, second);
    test::host_guard guard(player);
    log_error("Couldn't set timeouts on port, check your settings");
    const lines expected{"ERROR : Couldn't set timeouts on port, check your settings"};
    EXPECT_EQ(console.lines(), expected);
    EXPECT_EQ(second.lines(), expected);
    EXPECT_EQ(player.outstanding_references(), 0);
}

TEST(log_without_console, line_is_dropped_quietly) {
    test::fake_host player;
    test::host_guard guard(player);
    EXPECT_NO_THROW(log_info("nobody listens"));
    EXPECT_NO_THROW(log_error("nobody listens"));
}

TEST(log_without_host, line_is_dropped_quietly) {
    EXPECT_EQ(host().api, nullptr);
    EXPECT_NO_THROW(log_info("no player"));
}

TEST_F(log_test, lines_from_two_threads_stay_whole) {
    test::host_guard guard(player);
    constexpr int per_thread = 200;
    std::thread other([] {
        for (int i = 0; i < per_thread; ++i) {
            log_error("Read error!");
        }
    });
    for (int i = 0; i < per_thread; ++i) {
        log_info("Connected.");
    }
    other.join();
    const lines written = console.lines();
    ASSERT_EQ(written.size(), 2u * per_thread);
    for (const std::string& line : written) {
        EXPECT_TRUE(line == "Connected." || line == "ERROR : Read error!") << line;
    }
    EXPECT_EQ(player.outstanding_references(), 0);
}

}  // namespace
}  // namespace tessel
