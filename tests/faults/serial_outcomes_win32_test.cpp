// What the link does for each way a Windows driver can end a serial call: the system's calls
// are scripted through the connection's table, so that the answers real Bluetooth ports give
// (and Wine never does) happen on purpose. The test thread plays the player's main thread.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/cfg_var.h"
#include "host/link_lifecycle.h"
#include "host/link_manager.h"
#include "host/message_window.h"
#include "host/settings.h"
#include "tests/common/link_activation.h"
#include "tests/control/recording_player.h"
#include "tests/faults/scripted_serial_win32.h"
#include "tests/host/config_streams.h"
#include "tests/protocol/listing_parser.h"
#include "tests/protocol/scratch_folder.h"
#include "transport/bluetooth_connection.h"

namespace tessel {
namespace {

using namespace std::chrono_literals;
using clock = std::chrono::steady_clock;
using lines = std::vector<std::string>;
using ending = test::scripted_serial::ending;

class serial_outcomes : public ::testing::Test {
  protected:
    serial_outcomes() {
        player.host.add_service(corvina::class_guids::console, console);
        cfg_auto_connect = 0;
        cfg_music_directory.set(music.text().c_str());
        cfg_com_port.set("COM9");
    }
    ~serial_outcomes() override {
        stop_link_manager();
        cfg_com_port.set("COM4");
        cfg_music_directory.set("H:\\mp3");
    }

    static void serve_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto deadline = clock::now() + limit;
        wait_serving_sent_messages([&] { return done() || clock::now() >= deadline; });
    }

    static void serve_for(std::chrono::milliseconds time) {
        serve_until([] { return false; }, time);
    }

    // Sends a request and serves the link until the phone has more bytes than before.
    std::string ask(const std::string& request, std::size_t answer_size = 1) {
        const std::size_t before = port.phone_received().size();
        port.phone_sends(request);
        serve_until([&] { return port.phone_received().size() >= before + answer_size; }, 10s);
        return port.phone_received().substr(before);
    }

    void start_link() {
        start_link_manager();
        ASSERT_TRUE(test::activate_and_await(console));
        ASSERT_EQ(ask("CHCK"), "Y");
        console.clear();
    }

    bool logged(const char* line) const {
        const lines all = console.lines();
        return std::find(all.begin(), all.end(), line) != all.end();
    }

    test::scratch_folder music;
    test::recording_player player;
    test::recording_console console;
    test::host_guard guard{player.host};
    test::scripted_serial port;
};

TEST_F(serial_outcomes, each_ending_of_a_read_keeps_or_reopens_the_port_as_its_row_says) {
    start_link();

    // No byte: Windows ends the read as a success with none after its time-out.
    serve_for(600ms);
    // Wine's time-out statuses, and line noise cleared, even when the driver gives them at
    // once: the port stays, and the reader calls no faster than its time-out.
    for (const ending how :
         {ending{ending::how::fails, ERROR_TIMEOUT}, ending{ending::how::fails, WAIT_TIMEOUT},
          ending{ending::how::aborted_by_line_error, 0}}) {
        port.next_reads_end(how, 1000);
        const int reads_before = port.reads();
        serve_for(1s);
        port.reads_end_normally();
        EXPECT_LE(port.reads() - reads_before, 10) << how.error;  // about 4 a second
    }
    EXPECT_EQ(ask("CHCK"), "Y");
    EXPECT_EQ(console.lines(), lines{});
    EXPECT_EQ(port.opens(), 1);

    // Every other failure, at once or after a wait, is a lost port: closed, logged once and
    // opened again, about a second later.
    int opens = 1;
    for (const ending how : {ending{ending::how::fails, ERROR_SEM_TIMEOUT},
                             ending{ending::how::fails_at_once, ERROR_SEM_TIMEOUT},
                             ending{ending::how::fails, ERROR_GEN_FAILURE},
                             ending{ending::how::fails, ERROR_DEVICE_NOT_CONNECTED},
                             ending{ending::how::fails_at_once, ERROR_BAD_COMMAND},
                             ending{ending::how::fails, ERROR_OPERATION_ABORTED}}) {
        SCOPED_TRACE(how.error);
        port.next_reads_end(how);
        serve_until([&] { return logged("Connected."); }, 10s);
        EXPECT_EQ(console.lines(), (lines{"ERROR : Read error!", "Connected."}));
        EXPECT_EQ(port.opens(), ++opens);
        EXPECT_EQ(ask("CHCK"), "Y");
        console.clear();
    }

    // Aborted because we cancelled: deactivation, with a read in progress.
    link_manager_instance->activate(false);
    EXPECT_EQ(console.lines(), lines{"Deactivated"});
}

TEST_F(serial_outcomes, a_port_failing_every_call_at_once_with_121_is_reopened_once_a_second) {
    start_link();
    const int reads_before = port.reads();
    const int opens_before = port.opens();
    port.every_call_fails_at_once(ERROR_SEM_TIMEOUT);
    serve_for(3s);
    EXPECT_EQ(console.lines(), lines{"ERROR : Read error!"});
    EXPECT_LE(port.reads() - reads_before, 15);  // at most about five a second
    EXPECT_GE(port.opens() - opens_before, 1);
    EXPECT_LE(port.opens() - opens_before, 6);  // about once a second

    // The phone is back.
    port.every_call_fails_at_once(0);
    serve_until([&] { return logged("Connected."); }, 10s);
    EXPECT_EQ(ask("CHCK"), "Y");
}

TEST_F(serial_outcomes, a_write_failing_with_121_marks_the_port_lost) {
    bluetooth_connection connection;
    connection.set_port_name(string8("COM9"));
    ASSERT_TRUE(connection.open());
    EXPECT_EQ(connection.write("Y", 1), 1);
    EXPECT_FALSE(connection.has_failed());
    port.every_call_fails_at_once(ERROR_SEM_TIMEOUT);
    EXPECT_EQ(connection.write("Y", 1), 0);
    EXPECT_TRUE(connection.has_failed());
}

TEST_F(serial_outcomes, a_write_failing_with_121_only_after_its_whole_time_out_keeps_the_port) {
    start_link();
    // The phone takes nothing for a while: the reply to this CHCK ends with 121 at its
    // time-out, as usbser ends it.
    port.writes_held_until_time_out(ERROR_SEM_TIMEOUT);
    port.phone_sends("CHCK");
    serve_until([&] { return port.writes_in_progress() == 1; }, 5s);
    serve_until([&] { return port.writes_in_progress() == 0; }, 5s);
    serve_for(1500ms);  // a port counted lost would have been logged and opened again by now
    port.writes_taken();
    EXPECT_EQ(ask("CHCK"), "Y");
    EXPECT_EQ(console.lines(), lines{});
    EXPECT_EQ(port.opens(), 1);
}

// Sends messages to a window of the calling (main) thread from another thread while in scope,
// and keeps the longest wait for an answer, the one still waiting included.
class main_thread_probe {
  public:
    main_thread_probe()
        : window_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                  nullptr)),
          sender_([this] {
              while (!stopping_.load()) {
                  const auto sent = clock::now();
                  waiting_since_ = sent;
                  SendMessageW(window_, WM_NULL, 0, 0);
                  waiting_since_ = clock::time_point::max();
                  longest_ = std::max(longest_.load(), clock::now() - sent);
                  std::this_thread::sleep_for(5ms);
              }
              done_ = true;
          }) {}
    main_thread_probe(const main_thread_probe&) = delete;
    main_thread_probe& operator=(const main_thread_probe&) = delete;
    ~main_thread_probe() {
        stopping_ = true;
        // Its last message may wait for this thread.
        wait_serving_sent_messages([this] { return done_.load(); });
        sender_.join();
        DestroyWindow(window_);
    }
    clock::duration longest() const {
        const clock::time_point since = waiting_since_.load();
        const clock::duration waiting =
            since == clock::time_point::max() ? clock::duration::zero() : clock::now() - since;
        return std::max(longest_.load(), waiting);
    }

  private:
    HWND window_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> done_{false};
    std::atomic<clock::duration> longest_{clock::duration::zero()};
    std::atomic<clock::time_point> waiting_since_{clock::time_point::max()};
    std::thread sender_;
};

TEST_F(serial_outcomes, a_write_held_past_its_cancellation_holds_no_stop_beyond_a_second) {
    for (char c = 'a'; c <= 'z'; ++c) {
        music.add_file("Album/" + std::string(60, c) + ".mp3");
    }
    start_link();
    const std::string before = port.phone_received();
    // The phone stops reading, and the driver holds each write until its time-out (tens of
    // seconds for this listing) whatever a cancellation asks.
    port.writes_held_until_time_out(0);
    const auto held_listing = [&](int writes) {
        port.phone_sends("LIST");
        serve_until([&] { return port.writes_in_progress() == writes; }, 10s);
        ASSERT_EQ(port.writes_in_progress(), writes);
    };
    const auto within_a_second_serving_the_main_thread = [&](const std::function<void()>& stop) {
        const main_thread_probe probe;
        const auto started = clock::now();
        stop();
        EXPECT_LT(clock::now() - started, 1s);
        EXPECT_LT(probe.longest(), 50ms);
    };

    held_listing(1);
    within_a_second_serving_the_main_thread([] { link_manager_instance->activate(false); });
    EXPECT_EQ(console.lines(), lines{"Deactivated"});

    // And at shut-down, with the first write still held.
    ASSERT_TRUE(test::activate_and_await(console));
    held_listing(2);
    within_a_second_serving_the_main_thread([] { stop_link_manager(); });
    test::memory_writer saved;
    test::never_abort abort;
    cfg_save_all(saved, abort);
    const std::string folder = music.text();
    EXPECT_NE(std::search(saved.written.begin(), saved.written.end(), folder.begin(), folder.end()),
              saved.written.end());

    // The phone reads again: nothing more of the listings comes.
    port.writes_taken();
    serve_for(500ms);
    EXPECT_EQ(port.phone_received(), before);
}

TEST_F(serial_outcomes, one_line_error_aborting_the_read_and_the_write_is_noise_for_both) {
    music.add_file("Rock/a.mp3");
    music.add_file("Rock/b.mp3");
    start_link();
    // The reply to this CHCK and the read after it are both aborted by one framing error.
    port.abort_read_and_next_write_by_one_line_error();
    port.phone_sends("CHCK");
    serve_for(1500ms);
    EXPECT_EQ(console.lines(), lines{});
    EXPECT_EQ(port.opens(), 1);

    // The link stays, and the listing after it goes out whole.
    const std::size_t before = port.phone_received().size();
    port.phone_sends("LIST");
    const auto listing = [&] { return test::parse_listing(port.phone_received().substr(before)); };
    serve_until([&] { return listing().well_formed; }, 10s);
    const test::parsed_listing parsed = listing();
    ASSERT_TRUE(parsed.well_formed);
    ASSERT_EQ(parsed.roots.size(), 1u);
    ASSERT_EQ(parsed.roots[0].entries.size(), 1u);
    EXPECT_EQ(parsed.roots[0].entries[0].entries.size(), 2u);
    EXPECT_EQ(console.lines(), lines{});
    EXPECT_EQ(port.opens(), 1);
}

}  // namespace
}  // namespace tessel
