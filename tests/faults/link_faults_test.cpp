// The link under faults, over a real pseudo-terminal: the port vanishing while active, and
// deactivation or shut-down while commands, a folder listing and a slowly reading phone are
// all in flight.

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "corvina/posix_windows.h"
#include "host/link_lifecycle.h"
#include "host/link_manager.h"
#include "host/settings.h"
#include "tests/common/thread_count.h"
#include "tests/control/recording_player.h"
#include "tests/protocol/scratch_folder.h"
#include "tests/transport/serial_peer.h"

namespace tessel {
namespace {

using namespace std::chrono_literals;
using clock = std::chrono::steady_clock;
using lines = std::vector<std::string>;
namespace fs = std::filesystem;
using test::thread_count;

// CPU time the whole process has used, every thread together.
std::chrono::microseconds process_cpu_time() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto to_us = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return to_us(usage.ru_utime) + to_us(usage.ru_stime);
}

// The link opens a fixed name, a link to the phone's current pseudo-terminal, so that the
// port can vanish and come back under the same name.
class link_faults : public ::testing::Test {
  protected:
    link_faults() {
        player.host.add_service(corvina::class_guids::console, console);
        cfg_auto_connect = 0;
        cfg_use_specific_playlist = 0;
        cfg_specific_playlist = 0;
        cfg_music_directory.set("");
        port_link = folder.path() / "port";
        cfg_com_port.set(test::path_to_utf8(port_link).c_str());
        connect_phone();
        std::thread([] {}).join();  // see thread_count()
    }
    ~link_faults() override {
        stop_link_manager();
        cfg_com_port.set("COM4");
        cfg_music_directory.set("H:\\mp3");
    }

    // A new phone end, and the port name pointed at it.
    void connect_phone() {
        phone = std::make_unique<test::serial_peer>();
        fs::remove(port_link);
        if (phone->unavailable_reason().empty()) {
            fs::create_symlink(phone->port_name(), port_link);
        }
    }

    // Pumps the main thread's sends until done() or the limit, counting the hand-offs run.
    void pump_until(const std::function<bool()>& done, std::chrono::milliseconds limit,
                    std::size_t& handed_over) {
        const auto deadline = clock::now() + limit;
        while (!done() && clock::now() < deadline) {
            handed_over += corvina::posix_windows::pump_wait(5);
        }
    }

    // Pumps until the phone has count bytes, or the limit passes.
    std::string receive_while_pumping(std::size_t count, std::chrono::milliseconds limit) {
        std::string got;
        const auto deadline = clock::now() + limit;
        while (got.size() < count && clock::now() < deadline) {
            corvina::posix_windows::pump_wait(5);
            got += phone->receive(count - got.size(), 5ms);
        }
        return got;
    }

    void activate_and_check() {
        start_link_manager();
        link_manager_instance->activate(true);
        ASSERT_TRUE(link_manager_instance->is_active());
        ASSERT_TRUE(phone->send("CHCK"));
        ASSERT_EQ(receive_while_pumping(1, 10s), "Y");
    }

    test::recording_player player;
    test::recording_console console;
    test::host_guard guard{player.host};
    test::scratch_folder folder;
    fs::path port_link;
    std::unique_ptr<test::serial_peer> phone;
};

TEST_F(link_faults, a_vanished_port_costs_no_cpu_logs_once_and_can_be_activated_again) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    activate_and_check();
    console.clear();

    phone->hang_up();
    const auto cpu_before = process_cpu_time();
    const auto wall_before = clock::now();
    std::this_thread::sleep_for(2500ms);
    const auto cpu = process_cpu_time() - cpu_before;
    const auto wall = clock::now() - wall_before;

    // A reader retrying a dead port in a loop would burn a whole core.
    EXPECT_LT(cpu, wall / 10);
    EXPECT_EQ(console.lines(), lines{"ERROR : Read error!"});
    EXPECT_TRUE(link_manager_instance->is_active());

    // The port is back under its name: activating again (without deactivating first, as the
    // preferences page's Connect does it in two steps) brings the link up.
    connect_phone();
    link_manager_instance->activate(true);
    ASSERT_TRUE(link_manager_instance->is_active());
    ASSERT_TRUE(phone->send("CHCK"));
    EXPECT_EQ(receive_while_pumping(1, 10s), "Y");
}

TEST_F(link_faults, the_link_deactivates_at_once_while_the_port_is_gone) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    activate_and_check();
    phone->hang_up();
    std::this_thread::sleep_for(300ms);  // the reader is now waiting to retry

    const auto before = clock::now();
    link_manager_instance->activate(false);
    // The wait for a retry must not hold the deactivation up (loose: the retry is 1 s).
    EXPECT_LT(clock::now() - before, 10s);
    EXPECT_FALSE(link_manager_instance->is_active());
}

// A phone that reads a little at a time, as a slow Bluetooth link drains the port.
class slow_phone {
  public:
    explicit slow_phone(test::serial_peer& peer)
        : thread_([this, &peer] {
              while (!stop_.load()) {
                  std::string piece = peer.receive(512, 20ms);
                  if (!piece.empty()) {
                      const std::lock_guard<std::mutex> lock(mutex_);
                      received_ += piece;
                  }
                  std::this_thread::sleep_for(10ms);
              }
          }) {}
    slow_phone(const slow_phone&) = delete;
    slow_phone& operator=(const slow_phone&) = delete;
    ~slow_phone() { finish(); }

    std::string received() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }

    // Stops reading; answers all that came.
    std::string finish() {
        stop_.store(true);
        if (thread_.joinable()) {
            thread_.join();
        }
        const std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }

  private:
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::string received_;
    std::thread thread_;
};

class busy_link : public link_faults {
  protected:
    busy_link() {
        // Enough entries that the listing is many times what the line holds at once.
        for (int album = 0; album < 30; ++album) {
            for (int track = 0; track < 40; ++track) {
                folder.add_file("music/album " + std::to_string(album) + "/track " +
                                std::to_string(track) + ".mp3");
            }
        }
        cfg_music_directory.set(test::path_to_utf8(folder.path() / "music").c_str());
        std::vector<std::string> tracks;
        for (int i = 0; i < 300; ++i) {
            tracks.push_back("song " + std::to_string(i));
        }
        player.playlists.add_playlist(tracks);
    }

    // Starts the link, queues commands around a LIST and runs the main thread until the LIST
    // and the command after it have been handed over: the walk is under way, the phone is
    // behind with its reading and the reader is about to hand over the next command.
    void bring_everything_in_flight() {
        start_link_manager();
        link_manager_instance->activate(true);
        ASSERT_TRUE(link_manager_instance->is_active());
        ASSERT_TRUE(
            phone->send("GVOLPLSTVERSLIST"
                        "PLSTINF2CHCKPLSTDINFPLENCHCKPLSTGVOL"));
        std::size_t handed_over = 0;
        pump_until([&] { return handed_over >= 5; }, 30s, handed_over);
        ASSERT_EQ(handed_over, 5u);
    }
};

TEST_F(busy_link, deactivation_with_everything_in_flight_ends_and_leaves_no_thread) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    const std::size_t threads_before = thread_count();
    slow_phone reader(*phone);
    bring_everything_in_flight();

    const auto before = clock::now();
    link_manager_instance->activate(false);
    // Loose: the slow phone needs a few seconds for everything written so far.
    EXPECT_LT(clock::now() - before, 60s);
    EXPECT_FALSE(link_manager_instance->is_active());
    EXPECT_EQ(thread_count(), threads_before + 1);  // the phone's own reader alone

    // The listing went out whole before the port was closed.
    const std::string end_mark("\xFF\x00", 2);
    const auto listed = [&] {
        const std::string received = reader.received();
        const std::size_t listing = received.find("LISTACK");
        return listing != std::string::npos &&
               received.find(end_mark, listing) != std::string::npos;
    };
    const auto deadline = clock::now() + 30s;
    while (!listed() && clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(listed());

    // And the link comes up again afterwards. Commands the phone sent that were still waiting
    // in the port run first.
    link_manager_instance->activate(true);
    ASSERT_TRUE(link_manager_instance->is_active());
    ASSERT_TRUE(phone->send("VERS"));
    const std::string version_reply("VERSACK\x01\x49", 9);
    std::size_t handed_over = 0;
    pump_until([&] { return reader.received().ends_with(version_reply); }, 60s, handed_over);
    EXPECT_TRUE(reader.received().ends_with(version_reply));
}

TEST_F(busy_link, shut_down_with_everything_in_flight_ends_and_leaves_no_thread) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    const std::size_t threads_before = thread_count();
    slow_phone reader(*phone);
    bring_everything_in_flight();

    const auto before = clock::now();
    stop_link_manager();
    EXPECT_LT(clock::now() - before, 60s);
    EXPECT_EQ(link_manager_instance, nullptr);

    reader.finish();
    EXPECT_EQ(thread_count(), threads_before);
    const lines logged = console.lines();
    ASSERT_GE(logged.size(), 3u);
    EXPECT_EQ(lines(logged.end() - 3, logged.end()),
              (lines{"Deactivated", "Terminating", "Deactivated"}));
}

}  // namespace
}  // namespace tessel
