// bluetooth_connection over a real serial line: a pseudo-terminal pair on POSIX, two linked
// COM ports under Wine.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "corvina/class_guids.h"
#include "support/reply_buffer.h"
#include "tests/common/fake_host.h"
#include "tests/transport/serial_peer.h"
#include "transport/bluetooth_connection.h"

namespace tessel {
namespace {

using clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using lines = std::vector<std::string>;

constexpr milliseconds generous(5000);  // for data that is already on its way

milliseconds since(clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(clock::now() - start);
}

std::string patterned_bytes(std::size_t count) {
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    }
    return bytes;
}

class serial_connection_test : public ::testing::Test {
  protected:
    serial_connection_test() : guard(player) {
        player.add_service(corvina::class_guids::console, console);
    }

    void SetUp() override {
        if (!peer.unavailable_reason().empty()) {
            GTEST_SKIP() << peer.unavailable_reason();
        }
        port.set_port_name(string8(peer.port_name()));
    }

    // Opens the port under test and forgets the lines that logged.
    void open_port() {
        ASSERT_TRUE(port.open());
        console.clear();
    }

    std::string read_text(std::size_t count) {
        std::string text(count, '\0');
        const int got = port.read(text.data(), count);
        text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        return text;
    }

    test::serial_peer peer;  // first: its own set-up logs nowhere
    test::recording_console console;
    test::fake_host player;
    test::host_guard guard;
    bluetooth_connection port;
};

TEST_F(serial_connection_test, open_logs_the_port_and_success) {
    EXPECT_TRUE(port.open());
    EXPECT_TRUE(port.is_open());
    EXPECT_EQ(console.lines(),
              (lines{"Connecting to serial port " + peer.port_name(), "Connected."}));
    EXPECT_EQ(player.outstanding_references(), 0);
}

TEST_F(serial_connection_test, open_failures_answer_false_after_the_first_line) {
    port.set_port_name(string8(""));
    EXPECT_FALSE(port.open());
    EXPECT_FALSE(port.is_open());
    port.set_port_name(string8(peer.port_name() + "-missing"));
    EXPECT_FALSE(port.open());
    EXPECT_EQ(console.lines(),
              (lines{"Connecting to serial port ",
                     "Connecting to serial port " + peer.port_name() + "-missing"}));
}

TEST_F(serial_connection_test, a_port_in_use_does_not_open_twice) {
    if (!peer.ports_are_exclusive()) {
        GTEST_SKIP() << "this system does not keep serial ports exclusive";
    }
    open_port();
    bluetooth_connection second;
    second.set_port_name(string8(peer.port_name()));
    EXPECT_FALSE(second.open());
    port.close();
    EXPECT_TRUE(second.open()) << "closing must give the port back";
}

TEST_F(serial_connection_test, close_twice_closes_once) {
    open_port();
    port.close();
    port.close();
    EXPECT_FALSE(port.is_open());
    char byte = 'x';
    EXPECT_EQ(port.write(&byte, 1), 0);
    EXPECT_EQ(port.read(&byte, 1), 0);
    EXPECT_TRUE(port.open()) << "a closed connection opens again";
}

TEST_F(serial_connection_test, idle_read_answers_nothing_after_the_total_time_out) {
    open_port();
    char code[4];
    const clock::time_point start = clock::now();
    EXPECT_EQ(port.read(code, sizeof code), 0);
    const milliseconds took = since(start);
    // 200 + 10 * 4 ms: well above the interval alone, far below anything stuck.
    EXPECT_GE(took, milliseconds(150));
    EXPECT_LE(took, milliseconds(2400));
    EXPECT_FALSE(port.has_failed());
}

TEST_F(serial_connection_test, a_short_burst_ends_after_the_interval) {
    open_port();
    ASSERT_TRUE(peer.send("IN"));
    char code[4];
    const clock::time_point start = clock::now();
    EXPECT_EQ(port.read(code, sizeof code), 2);
    const milliseconds took = since(start);
    EXPECT_EQ(std::string(code, 2), "IN");
    EXPECT_GE(took, milliseconds(90)) << "the interval runs from the last byte";
    EXPECT_LE(took, milliseconds(2400));
    EXPECT_FALSE(port.has_failed());
}

TEST_F(serial_connection_test, a_whole_code_returns_without_waiting_for_the_time_out) {
    open_port();
    ASSERT_TRUE(peer.send("INFO"));
    char code[4];
    const clock::time_point start = clock::now();
    ASSERT_EQ(port.read(code, sizeof code), 4);
    EXPECT_LT(since(start), serial_timeouts::read_total(4));
    EXPECT_EQ(std::string(code, 4), "INFO");
}

TEST_F(serial_connection_test, bytes_pass_unchanged_both_ways) {
    open_port();
    // Line ends, control characters, flow-control characters, NUL and high bytes.
    const std::string raw("\r\n\x03\x04\x11\x13\x1a\x7f\x00\xff\x80", 11);
    ASSERT_TRUE(peer.send(raw));
    EXPECT_EQ(read_text(raw.size()), raw);
    ASSERT_EQ(port.write(raw.data(), raw.size()), static_cast<int>(raw.size()));
    EXPECT_EQ(peer.receive(raw.size(), generous), raw);

    // A reply made for an earlier opening of the port is not written.
    reply_buffer reply(8);
    reply.append_bytes("OK");
    EXPECT_EQ(port.write_for_opening(reply, port.opening() - 1), 0);
    EXPECT_EQ(port.write_for_opening(reply, port.opening()), 2);
    EXPECT_EQ(peer.receive(4, milliseconds(300)), "OK");
}

TEST_F(serial_connection_test, a_large_write_arrives_whole) {
    open_port();
    const std::string reply = patterned_bytes(200 * 1024);
    std::string arrived;
    std::thread phone([&] { arrived = peer.receive(reply.size(), milliseconds(60000)); });
    const int written = port.write(reply.data(), reply.size());
    phone.join();
    EXPECT_EQ(written, static_cast<int>(reply.size()));
    EXPECT_TRUE(arrived == reply) << "got " << arrived.size() << " of " << reply.size();
}

TEST_F(serial_connection_test, reads_and_writes_run_at_once_from_two_threads) {
    open_port();
    constexpr int codes = 40;
    const std::string reply = patterned_bytes(3000);
    std::string read_back;
    std::thread reader([&] {
        const clock::time_point give_up = clock::now() + std::chrono::seconds(60);
        while (read_back.size() < codes * 4u && clock::now() < give_up) {
            read_back += read_text(4);
        }
    });
    std::string arrived;
    std::thread phone([&] {
        for (int i = 0; i < codes; ++i) {
            peer.send("PLAY");
        }
        arrived = peer.receive(reply.size() * 4, milliseconds(60000));
    });
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(port.write(reply.data(), reply.size()), static_cast<int>(reply.size()));
    }
    reader.join();
    phone.join();
    EXPECT_EQ(read_back.size(), codes * 4u);
    EXPECT_EQ(read_back.find_first_not_of("PLAY"), std::string::npos);
    EXPECT_TRUE(arrived == reply + reply + reply + reply) << "got " << arrived.size();
}

// A phone that stopped reading holds a long write for its whole time-out (hours for 4 MiB),
// and a long read waits for its own: cancelling ends both at once.
TEST_F(serial_connection_test, cancelling_ends_a_stalled_write_and_a_waiting_read_at_once) {
    open_port();
    const std::string reply = patterned_bytes(4 * 1024 * 1024);
    int written = -1;
    int read_count = -1;
    std::thread writer([&] { written = port.write(reply.data(), reply.size()); });
    std::thread reader([&] {
        std::string waiting(1000, '\0');  // 10 s of total time-out
        read_count = port.read(waiting.data(), waiting.size());
    });
    std::this_thread::sleep_for(milliseconds(500));
    const clock::time_point cancelled = clock::now();
    port.cancel_io();
    writer.join();
    reader.join();
    EXPECT_LT(since(cancelled), milliseconds(5000));
    EXPECT_LT(written, static_cast<int>(reply.size()));
    EXPECT_EQ(read_count, 0);
    EXPECT_FALSE(port.has_failed());

    // What went out before the cut reaches the phone, and nothing after it.
    EXPECT_EQ(peer.receive(static_cast<std::size_t>(std::max(written, 0)), generous).size(),
              static_cast<std::size_t>(std::max(written, 0)));
}

TEST_F(serial_connection_test, writes_from_two_threads_do_not_interleave) {
    open_port();
    const std::string first(5000, 'a');
    const std::string second(5000, 'b');
    std::string arrived;
    std::thread phone([&] { arrived = peer.receive(10000, milliseconds(60000)); });
    std::thread other([&] { port.write(second.data(), second.size()); });
    port.write(first.data(), first.size());
    other.join();
    phone.join();
    EXPECT_TRUE(arrived == first + second || arrived == second + first);
}

TEST_F(serial_connection_test, a_hang_up_fails_the_read_at_once) {
    open_port();
    if (!peer.hang_up()) {
        GTEST_SKIP() << "the phone's end cannot hang up here";
    }
    char code[4];
    const clock::time_point start = clock::now();
    EXPECT_EQ(port.read(code, sizeof code), 0);
    EXPECT_TRUE(port.has_failed());
    EXPECT_LT(since(start), serial_timeouts::read_total(4)) << "a gone port must not look idle";
}

TEST(serial_connection, a_file_that_is_no_port_is_closed_with_the_time_out_error) {
    test::recording_console console;
    test::fake_host player;
    player.add_service(corvina::class_guids::console, console);
    test::host_guard guard(player);
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() /
        ("tessel-not-a-port-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::FILE* made = std::fopen(file.string().c_str(), "wb");
    ASSERT_NE(made, nullptr);
    std::fclose(made);
    bluetooth_connection port;
    port.set_port_name(string8(file.string()));
    // Without time-outs a read would answer at once in a busy loop, or never.
    EXPECT_FALSE(port.open());
    EXPECT_FALSE(port.is_open());
    EXPECT_EQ(console.lines(),
              (lines{"Connecting to serial port " + file.string(),
                     "ERROR : Couldn't set timeouts on port, check your settings"}));
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace tessel
