// Noise on the wire: the link reads command codes four bytes at a time with no framing of its
// own; a code that is not a command drops what waits on the line, so a phone that goes quiet
// for a moment after noise is in step again. Runs natively over a pseudo-terminal and under
// Wine over two linked COM ports; the test thread plays the player's main thread and serves
// the reader's hand-offs.

#include <algorithm>
#include <chrono>
#include <functional>
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
        cfg_com_port.set(phone.port_name().c_str());
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
            got += phone.receive(count - got.size(), 5ms);
        }
        return got;
    }

    std::size_t read_errors() const {
        const std::vector<std::string> lines = console.lines();
        return static_cast<std::size_t>(
            std::count(lines.begin(), lines.end(), "ERROR : Read error!"));
    }

    // Hand-offs since the last call.
    std::size_t take_handoffs() {
        const test::calls calls = player.log.take();
        return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), "playlists.active"));
    }

    test::recording_player player;
    test::recording_console console;
    test::host_guard guard{player.host};
    test::serial_peer phone;
};

TEST_F(wire_noise, after_noise_and_a_quiet_second_the_phone_is_answered_at_once) {
    if (!phone.unavailable_reason().empty()) {
        GTEST_SKIP() << phone.unavailable_reason();
    }
    start_link_manager();
    ASSERT_TRUE(test::activate_and_await(console));
    ASSERT_TRUE(phone.send("CHCK"));
    ASSERT_EQ(receive_serving(1, 10s), "Y");
    console.clear();

    // 10 KB of random bytes in bursts, as a misbehaving app sends them.
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int burst = 0; burst < 10; ++burst) {
        std::string noise(1024, '\0');
        for (char& c : noise) {
            c = static_cast<char>(byte(random));
        }
        ASSERT_TRUE(phone.send(noise));
        serve_until([] { return false; }, 50ms);
    }
    // One quiet second, then a real request.
    serve_until([] { return false; }, 1s);
    take_handoffs();
    ASSERT_TRUE(phone.send("CHCK"));
    const auto sent = clock::now();
    EXPECT_EQ(receive_serving(1, 10s), "Y");
    EXPECT_LT(clock::now() - sent, 1s);
    EXPECT_EQ(take_handoffs(), 1u);
    // Nothing was answered to the noise.
    EXPECT_EQ(phone.receive(1, 100ms), "");
}

}  // namespace
}  // namespace tessel
