// The link manager with the player: what start-up, activation, deactivation and shut-down log
// and leave behind, and how a command travels from the port to the main thread.

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "corvina/posix_windows.h"
#include "host/link_lifecycle.h"
#include "host/link_manager.h"
#include "host/settings.h"
#include "tests/common/link_activation.h"
#include "tests/common/sample_ports.h"
#include "tests/common/thread_count.h"
#include "tests/control/recording_player.h"
#include "tests/transport/serial_peer.h"

namespace tessel {
namespace {

using namespace std::chrono_literals;
using clock = std::chrono::steady_clock;
using lines = std::vector<std::string>;
namespace fs = std::filesystem;
using test::thread_census;

// The test thread plays the player's main thread: it owns the hidden window and pumps it.
class lifecycle : public ::testing::Test {
  protected:
    lifecycle() {
        player.host.add_service(corvina::class_guids::console, console);
        cfg_auto_connect = 0;
        cfg_use_specific_playlist = 0;
        cfg_specific_playlist = 0;
        cfg_com_port.set(peer.port_name().c_str());
        cfg_music_directory.set("");
        std::thread([] {}).join();  // a sanitizer's helper thread comes with the first one
    }
    ~lifecycle() override {
        stop_link_manager();
        cfg_com_port.set("COM4");
        cfg_music_directory.set("H:\\mp3");
    }

    // Pumps until the phone has count bytes, or the limit passes.
    std::string receive_while_pumping(std::size_t count, std::chrono::milliseconds limit) {
        std::string got;
        const auto deadline = clock::now() + limit;
        while (got.size() < count && clock::now() < deadline) {
            corvina::posix_windows::pump_wait(5);
            got += peer.receive(count - got.size(), 5ms);
        }
        return got;
    }

    test::recording_player player;
    test::recording_console console;
    test::host_guard guard{player.host};
    test::serial_peer peer;
};

TEST_F(lifecycle, start_up_without_auto_connect_only_initializes) {
    start_link_manager();
    ASSERT_NE(link_manager_instance, nullptr);
    EXPECT_FALSE(link_manager_instance->is_active());
    EXPECT_EQ(console.lines(), lines{"Initializing"});
}

// The thread stacks mapped in this process, the cached ones of ended threads included: the
// anonymous read-write mappings of a stack's size (with or without its guard page).
std::size_t mapped_thread_stacks() {
    pthread_attr_t attributes;
    std::size_t stack = 0;
    std::size_t guard = 0;
    pthread_getattr_default_np(&attributes);
    pthread_attr_getstacksize(&attributes, &stack);
    pthread_attr_getguardsize(&attributes, &guard);
    pthread_attr_destroy(&attributes);
    std::ifstream maps("/proc/self/maps");
    std::size_t count = 0;
    for (std::string line; std::getline(maps, line);) {
        std::uintptr_t start = 0;
        std::uintptr_t end = 0;
        char perms[5] = {};
        unsigned long inode = 1;
        if (std::sscanf(line.c_str(), "%" SCNxPTR "-%" SCNxPTR " %4s %*s %*s %lu", &start, &end,
                        perms, &inode) == 4 &&
            std::string_view(perms) == "rw-p" && inode == 0 &&
            (end - start == stack || end - start == stack - guard)) {
            ++count;
        }
    }
    return count;
}

// The console then names the ports the PC has, and says when the setting is none of them.
TEST_F(lifecycle, a_port_that_cannot_be_opened_ends_inactive_however_often_it_is_tried) {
    const thread_census threads;
    test::sample_ports pc;
    pc.ports.push_back({"/nonexistent/tessel-port", "USB serial adapter", ""});
    const std::string listed =
        "Serial ports: COM5 - Pixel 7, Bluetooth outgoing; COM12 - Galaxy S21, Bluetooth "
        "outgoing; /nonexistent/tessel-port - USB serial adapter; COM3 - USB Serial Port; "
        "COM6 - Bluetooth incoming";
    cfg_com_port.set("/nonexistent/tessel-port");
    cfg_auto_connect = 1;
    EXPECT_FALSE(test::activate_and_await(console, start_link_manager));
    EXPECT_FALSE(link_manager_instance->is_active());
    EXPECT_EQ(console.lines(),
              (lines{"Initializing", "Connecting to serial port /nonexistent/tessel-port",
                     "ERROR : Could not connect!", listed, "Deactivated"}));

    pc.ports.pop_back();
    console.clear();
    cfg_com_port.set("COM9");
    EXPECT_FALSE(test::activate_and_await(console, [] { link_manager_instance->activate(true); }));
    EXPECT_EQ(console.lines(),
              (lines{"Connecting to serial port COM9", "ERROR : Could not connect!",
                     "COM9 is not a serial port of this computer. Serial ports: COM5 - Pixel 7, "
                     "Bluetooth outgoing; COM12 - Galaxy S21, Bluetooth outgoing; COM3 - USB "
                     "Serial Port; COM6 - Bluetooth incoming",
                     "Deactivated"}));

    // Each failed connect ends its reader inside its own hand-off: the readers must not keep
    // their stacks until the module's unload.
    const std::size_t stacks_before = mapped_thread_stacks();
    constexpr int tries = 40;
    for (int i = 0; i < tries; ++i) {
        ASSERT_FALSE(test::activate_and_await(console));
    }
    EXPECT_LE(threads.settled(0), 1u);  // the last reader may still be returning
    // glibc keeps a few stacks of joined threads for reuse.
    EXPECT_LE(mapped_thread_stacks(), stacks_before + tries / 4);
}

TEST_F(lifecycle, shut_down_of_an_active_link_deactivates_twice_around_terminating) {
    ASSERT_EQ(peer.unavailable_reason(), "");
    const thread_census threads;
    cfg_auto_connect = 1;
    ASSERT_TRUE(test::activate_and_await(console, start_link_manager));
    console.clear();

    stop_link_manager();
    EXPECT_EQ(link_manager_instance, nullptr);
    EXPECT_EQ(console.lines(), (lines{"Deactivated", "Terminating", "Deactivated"}));
    EXPECT_EQ(threads.settled(0), 0u);
    // The window class went with the manager: none may outlive the code of its procedure.
    EXPECT_FALSE(corvina::posix_windows::unregister_class("tessel_link"));
}

TEST_F(lifecycle, the_link_answers_again_after_a_reactivation) {
    ASSERT_EQ(peer.unavailable_reason(), "");
    start_link_manager();
    ASSERT_TRUE(test::activate_and_await(console));
    ASSERT_TRUE(peer.send("CHCK"));
    EXPECT_EQ(receive_while_pumping(1, 5s), "Y");

    link_manager_instance->activate(false);
    ASSERT_TRUE(test::activate_and_await(console));
    ASSERT_TRUE(peer.send("CHCK"));
    EXPECT_EQ(receive_while_pumping(1, 5s), "Y");
}

TEST_F(lifecycle, a_window_destroyed_by_another_is_made_again_but_not_in_a_loop) {
    ASSERT_EQ(peer.unavailable_reason(), "");
    start_link_manager();
    ASSERT_TRUE(test::activate_and_await(console));
    // Connect: the link destroys its own window and makes a new one, which another destroys at
    // once.
    ASSERT_TRUE(test::activate_and_await(console));
    const corvina::window_handle first = link_manager_instance->window();
    ASSERT_TRUE(corvina::posix_windows::destroy_window(first));
    const corvina::window_handle again = link_manager_instance->window();
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, first);
    ASSERT_TRUE(peer.send("CHCK"));
    EXPECT_EQ(receive_while_pumping(1, 5s), "Y");

    // Destroyed again and again: made again once more at most, then the loop ends.
    for (int i = 0; i < 5 && link_manager_instance->window() != nullptr; ++i) {
        corvina::posix_windows::destroy_window(link_manager_instance->window());
    }
    EXPECT_EQ(link_manager_instance->window(), nullptr);
}

TEST_F(lifecycle, info_reaches_the_main_thread_no_sooner_than_300_ms_after_its_last_byte) {
    ASSERT_EQ(peer.unavailable_reason(), "");
    start_link_manager();
    ASSERT_TRUE(test::activate_and_await(console));
    player.log.take();

    ASSERT_TRUE(peer.send("INFO"));
    const auto sent = clock::now();
    // pump() runs only sends already queued, so the time taken before a pump that runs the
    // hand-off bounds the hand-off's own time from below.
    clock::time_point before_handoff{};
    while (clock::now() - sent < 5s) {
        const auto before = clock::now();
        if (corvina::posix_windows::pump() > 0) {
            before_handoff = before;
            break;
        }
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_NE(before_handoff, clock::time_point{});
    EXPECT_GE(before_handoff - sent, 299ms);
    EXPECT_FALSE(player.log.take().empty());  // the status report asked the player
    EXPECT_EQ(receive_while_pumping(18, 5s).substr(0, 7), "INFOACK");
}

TEST_F(lifecycle, the_chosen_playlist_is_made_active_before_any_code) {
    ASSERT_EQ(peer.unavailable_reason(), "");
    player.playlists.add_playlist({"a"});
    player.playlists.add_playlist({"b"});
    player.playlists.active = 0;
    cfg_use_specific_playlist = 1;
    cfg_specific_playlist = 1;
    start_link_manager();
    ASSERT_TRUE(test::activate_and_await(console));

    ASSERT_TRUE(peer.send("ZZZZ"));  // no such command: only the switch happens
    const auto deadline = clock::now() + 5s;
    while (player.playlists.active != 1 && clock::now() < deadline) {
        corvina::posix_windows::pump_wait(5);
    }
    EXPECT_EQ(player.playlists.active, 1u);
}

TEST_F(lifecycle, a_failing_player_service_drops_the_command_and_the_link_goes_on) {
    ASSERT_EQ(peer.unavailable_reason(), "");
    cfg_use_specific_playlist = 1;
    test::fake_host bare;  // a player without a playlist service
    bare.add_service(corvina::class_guids::console, console);
    test::host_guard bare_guard(bare);
    start_link_manager();
    ASSERT_TRUE(test::activate_and_await(console));
    console.clear();

    ASSERT_TRUE(peer.send("CHCK"));
    EXPECT_EQ(receive_while_pumping(1, 1s), "");
    EXPECT_EQ(console.lines(), lines{"ERROR : Service not found"});
    cfg_use_specific_playlist = 0;
    ASSERT_TRUE(peer.send("CHCK"));
    EXPECT_EQ(receive_while_pumping(1, 5s), "Y");
}

TEST_F(lifecycle, a_code_arriving_after_the_window_is_gone_is_dropped) {
    ASSERT_EQ(peer.unavailable_reason(), "");
    start_link_manager();
    ASSERT_TRUE(test::activate_and_await(console));
    ASSERT_TRUE(peer.send("CHCK"));
    // Nobody pumps: the reader waits in its hand-off until the deactivation fails it.
    std::this_thread::sleep_for(100ms);
    link_manager_instance->activate(false);
    EXPECT_EQ(peer.receive(1, 300ms), "");
    EXPECT_FALSE(link_manager_instance->is_active());
}

TEST_F(lifecycle, deactivation_stops_a_running_folder_walk_and_cuts_its_reply) {
    ASSERT_EQ(peer.unavailable_reason(), "");
    const fs::path music =
        fs::temp_directory_path() / ("tessel_lifecycle_" + std::to_string(::getpid()));
    fs::remove_all(music);
    for (int folder = 0; folder < 40; ++folder) {
        const fs::path dir = music / ("album" + std::to_string(folder));
        fs::create_directories(dir);
        for (int track = 0; track < 50; ++track) {
            std::ofstream(dir / ("track" + std::to_string(track) + ".mp3")) << "x";
        }
    }
    cfg_music_directory.set(music.string().c_str());
    const thread_census threads;
    start_link_manager();
    ASSERT_TRUE(test::activate_and_await(console));

    // The phone reads as the reply comes: a pseudo-terminal holds only a few kilobytes.
    std::string reply;
    std::atomic<bool> deactivated{false};
    std::thread phone([&] {
        while (!deactivated) {
            reply += peer.receive(1 << 16, 50ms);
        }
        reply += peer.receive(1 << 16, 50ms);
    });
    ASSERT_TRUE(peer.send("LIST"));
    // Run the hand-off, which starts the walk, then deactivate at once.
    const auto deadline = clock::now() + 5s;
    while (corvina::posix_windows::pump_wait(5) == 0 && clock::now() < deadline) {
    }
    link_manager_instance->activate(false);
    EXPECT_EQ(threads.settled(1), 1u);  // the phone's alone: the walk has stopped
    deactivated = true;
    phone.join();

    // The reply is cut where the deactivation found it: the phone resynchronises.
    EXPECT_EQ(reply.substr(0, 7), std::string("LISTACK").substr(0, reply.size()));
    fs::remove_all(music);
}

}  // namespace
}  // namespace tessel
