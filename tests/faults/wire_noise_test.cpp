// Noise on the wire: the link reads command codes four bytes at a time with no framing of its
// own; a code that is not a command drops what waits on the line, so a phone that goes quiet
// for a moment after noise is in step again. Runs natively over a pseudo-terminal and under
// Wine over two linked COM ports; the test thread plays the player's main thread and serves
// the reader's hand-offs. Under Wine also a line that hangs up and comes back (natively
// link_faults_test.cpp has that case).

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/link_lifecycle.h"
#include "host/link_manager.h"
#include "host/message_window.h"
#include "host/settings.h"
#include "tests/common/link_activation.h"
#include "tests/control/recording_player.h"
#include "tests/transport/serial_peer.h"

namespace tessel {
namespace {

using namespace std::chrono_literals;
using clock = std::chrono::steady_clock;

class wire_noise : public ::testing::Test {
  protected:
    wire_noise() {
        player.host.add_service(corvina::class_guids::console, console);
        player.playlists.add_playlist({"a"});
        // Each hand-off asks the playlist service first, so the player's log counts them.
        cfg_use_specific_playlist = 1;
        cfg_specific_playlist = 0;
        cfg_auto_connect = 0;
        cfg_music_directory.set("");
        cfg_com_port.set(phone->port_name().c_str());
    }
    ~wire_noise() override {
        stop_link_manager();
        cfg_use_specific_playlist = 0;
        cfg_com_port.set("COM4");
        cfg_music_directory.set("H:\\mp3");
    }

    // Serves the reader's hand-offs until done() or the limit.
    static void serve_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto deadline = clock::now() + limit;
        wait_serving_sent_messages([&] { return done() || clock::now() >= deadline; });
    }

    // Serves hand-offs while the phone collects up to count bytes within the limit.
    std::string receive_serving(std::size_t count, std::chrono::milliseconds limit) {
        std::string got;
        const auto deadline = clock::now() + limit;
        while (got.size() < count && clock::now() < deadline) {
            serve_until([] { return false; }, 5ms);
            got += phone->receive(count - got.size(), 5ms);
        }
        return got;
    }

    std::size_t logged(const char* line) const {
        const std::vector<std::string> lines = console.lines();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }

    // Hand-offs since the last call.
    std::size_t take_handoffs() {
        const test::calls calls = player.log.take();
        return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), "playlists.active"));
    }

    test::recording_player player;
    test::recording_console console;
    test::host_guard guard{player.host};
    std::unique_ptr<test::serial_peer> phone = std::make_unique<test::serial_peer>();
};

TEST_F(wire_noise, after_noise_and_a_quiet_second_the_phone_is_answered_at_once) {
    if (!phone->unavailable_reason().empty()) {
        GTEST_SKIP() << phone->unavailable_reason();
    }
    start_link_manager();
    ASSERT_TRUE(test::activate_and_await(console));
    ASSERT_TRUE(phone->send("CHCK"));
    ASSERT_EQ(receive_serving(1, 10s), "Y");
    console.clear();

    // 10 KB of random bytes in bursts, as a misbehaving app sends them, one byte short of a
    // whole number of codes. A remove-all hides in the first burst right after its first code:
    // a reader that did not drop the rest of the line would run it.
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int burst = 0; burst < 10; ++burst) {
        std::string noise(burst == 9 ? 1023 : 1024, '\0');
        for (char& c : noise) {
            c = static_cast<char>(byte(random));
        }
        if (burst == 0) {
            noise.replace(0, 8, "\xF1\xF2\xF3\xF4RMAL");
        }
        ASSERT_TRUE(phone->send(noise));
        serve_until([] { return false; }, 50ms);
    }
    // One quiet second, then a real request.
    serve_until([] { return false; }, 1s);
    // About one hand-off of noise a burst; one a code would be 2,560.
    EXPECT_LT(take_handoffs(), 100u);
    EXPECT_EQ(player.playlists.item_names(0), std::vector<std::string>{"a"});
    ASSERT_TRUE(phone->send("CHCK"));
    const auto sent = clock::now();
    EXPECT_EQ(receive_serving(1, 10s), "Y");
    EXPECT_LT(clock::now() - sent, 1s);
    EXPECT_EQ(take_handoffs(), 1u);
    // Nothing was answered to the noise.
    EXPECT_EQ(phone->receive(1, 100ms), "");
}

#if defined(_WIN32)
TEST_F(wire_noise, a_line_that_hangs_up_and_comes_back_is_taken_up_again_by_itself) {
    if (!phone->unavailable_reason().empty()) {
        GTEST_SKIP() << phone->unavailable_reason();
    }
    if (std::getenv("TESSEL_LINE_CONTROL") == nullptr) {
        GTEST_SKIP() << "the test driver offers no hang-up of the line";
    }
    start_link_manager();
    ASSERT_TRUE(test::activate_and_await(console));
    ASSERT_TRUE(phone->send("CHCK"));
    ASSERT_EQ(receive_serving(1, 10s), "Y");
    console.clear();

    // The phone goes out of range: the port fails, and while it is gone opening it fails.
    ASSERT_TRUE(phone->hang_up());
    serve_until([] { return false; }, 1500ms);
    ASSERT_TRUE(test::serial_peer::bring_line_back());
    phone = std::make_unique<test::serial_peer>();
    ASSERT_EQ(phone->unavailable_reason(), "");

    // The reader opens the port again by itself within about a second.
    serve_until([this] { return logged("Connected.") > 0; }, 10s);
    ASSERT_TRUE(phone->send("CHCK"));
    EXPECT_EQ(receive_serving(1, 10s), "Y");
    EXPECT_EQ(console.lines(), (std::vector<std::string>{"ERROR : Read error!", "Connected."}));
}
#endif

}  // namespace
}  // namespace tessel
