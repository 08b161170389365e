// Noise on the wire: the link reads command codes four bytes at a time with no framing of
// its own, so after garbage only the read time-outs bring it back in step. Runs natively over a
// pseudo-terminal and under Wine over two linked COM ports; the test thread plays the player's
// main thread and serves the reader's hand-offs.

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

TEST_F(wire_noise, after_noise_and_one_quiet_period_the_framing_is_back) {
    if (!phone.unavailable_reason().empty()) {
        GTEST_SKIP() << phone.unavailable_reason();
    }
    start_link_manager();
    link_manager_instance->activate(true);
    ASSERT_TRUE(link_manager_instance->is_active());
    ASSERT_TRUE(phone.send("CHCK"));
    ASSERT_EQ(receive_serving(1, 10s), "Y");
    console.clear();
    take_handoffs();

    // Noise holds no capital letters or digits, so no four bytes of it can be a command.
    std::string noise_bytes;
    for (int value = 0; value < 256; ++value) {
        const bool code_letter = (value >= 'A' && value <= 'Z') || (value >= '0' && value <= '9');
        if (!code_letter) {
            noise_bytes.push_back(static_cast<char>(value));
        }
    }
    std::mt19937 random(20261208);
    std::uniform_int_distribution<std::size_t> pick(0, noise_bytes.size() - 1);
    std::size_t codes_expected = 0;
    std::size_t handed_over = 0;
    for (std::size_t burst = 1; burst <= 3; ++burst) {
        // 4k + r bytes at once: k whole codes, then a short read of r bytes ends the burst.
        const std::size_t whole = std::uniform_int_distribution<std::size_t>(2, 8)(random);
        const std::size_t tail = std::uniform_int_distribution<std::size_t>(1, 3)(random);
        std::string noise;
        for (std::size_t i = 0; i < 4 * whole + tail; ++i) {
            noise.push_back(noise_bytes[pick(random)]);
        }
        ASSERT_TRUE(phone.send(noise));
        codes_expected += whole;
        serve_until(
            [&] {
                handed_over += take_handoffs();
                return handed_over >= codes_expected && read_errors() >= burst;
            },
            30s);
    }
    // One line-idle period.
    serve_until([] { return false; }, 300ms);
    handed_over += take_handoffs();
    EXPECT_EQ(handed_over, codes_expected);  // four bytes a code, never more, never fewer
    EXPECT_EQ(read_errors(), 3u);

    // Then a real request is read whole, and nothing was answered to the noise.
    ASSERT_TRUE(phone.send("CHCK"));
    EXPECT_EQ(receive_serving(2, 3s), "Y");
}

}  // namespace
}  // namespace tessel
