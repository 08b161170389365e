// The link under faults, over a real pseudo-terminal: the port vanishing while active and
// coming back; a port whose opening takes seconds; a music folder whose directory calls do not
// return; a phone that stops reading or reads slowly in the middle of a large folder listing;
// deactivation and shut-down with everything in flight, or asked for while a command's player
// service runs the message loop.

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "corvina/posix_windows.h"
#include "host/link_lifecycle.h"
#include "host/link_manager.h"
#include "host/message_window.h"
#include "host/settings.h"
#include "protocol/phone_link.h"
#include "tests/common/link_activation.h"
#include "tests/common/thread_count.h"
#include "tests/control/recording_player.h"
#include "tests/faults/failing_new.h"
#include "tests/faults/slow_folder_search.h"
#include "tests/faults/slow_port_open.h"
#include "tests/protocol/listing_parser.h"
#include "tests/protocol/scratch_folder.h"
#include "tests/transport/serial_peer.h"

namespace tessel {
namespace {

using namespace std::chrono_literals;
using clock = std::chrono::steady_clock;
using lines = std::vector<std::string>;
namespace fs = std::filesystem;
using test::thread_census;

// CPU time the whole process has used, every thread together.
std::chrono::microseconds process_cpu_time() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto to_us = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return to_us(usage.ru_utime) + to_us(usage.ru_stime);
}

// Times a message sent to the main thread from another thread while the main thread pumps:
// the longest wait for an answer over the given time.
std::chrono::microseconds longest_answer_while_pumping(std::chrono::milliseconds duration) {
    namespace pw = corvina::posix_windows;
    static const bool registered = pw::register_class("link_faults_probe", pw::default_procedure);
    EXPECT_TRUE(registered);
    const corvina::window_handle window =
        pw::create_window("link_faults_probe", "probe", nullptr, nullptr);
    std::atomic<bool> done{false};
    std::chrono::microseconds longest{0};
    std::thread sender([&] {
        const auto end = clock::now() + duration;
        while (clock::now() < end) {
            const auto sent = clock::now();
            pw::send_message(window, app_message + 1, 0, 0);
            longest = std::max(longest, std::chrono::duration_cast<std::chrono::microseconds>(
                                            clock::now() - sent));
            std::this_thread::sleep_for(10ms);
        }
        done = true;
    });
    while (!done.load()) {
        pw::pump_wait(5);
    }
    sender.join();
    pw::destroy_window(window);
    return longest;
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
        std::thread([] {}).join();  // see thread_census
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
        ASSERT_TRUE(test::activate_and_await(console));
        ASSERT_TRUE(phone->send("CHCK"));
        ASSERT_EQ(receive_while_pumping(1, 10s), "Y");
    }

    // The phone's end goes away, and its name with it, as a Bluetooth device's does. The name
    // goes first: the number of a pseudo-terminal that has gone is soon given to another one,
    // perhaps another test's.
    void phone_goes_away() {
        fs::remove(port_link);
        phone->hang_up();
    }

    // Pumps until the link has the port open again.
    bool await_reconnection(std::chrono::milliseconds limit) {
        std::size_t handed_over = 0;
        pump_until([] { return link_manager_instance->is_connected(); }, limit, handed_over);
        return link_manager_instance->is_connected();
    }

    std::string port_name() const { return test::path_to_utf8(port_link); }

    test::recording_player player;
    test::recording_console console;
    test::host_guard guard{player.host};
    test::scratch_folder folder;
    fs::path port_link;
    std::unique_ptr<test::serial_peer> phone;
};

TEST_F(link_faults, a_vanished_port_costs_no_cpu_logs_once_and_comes_back_by_itself) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    activate_and_check();
    console.clear();

    phone_goes_away();
    const auto cpu_before = process_cpu_time();
    const auto wall_before = clock::now();
    std::this_thread::sleep_for(2500ms);
    const auto cpu = process_cpu_time() - cpu_before;
    const auto wall = clock::now() - wall_before;

    // A reader retrying a dead port in a loop would burn a whole core.
    EXPECT_LT(cpu, wall / 10);
    EXPECT_EQ(console.lines(), lines{"ERROR : Read error!"});
    EXPECT_TRUE(link_manager_instance->is_active());
    EXPECT_FALSE(link_manager_instance->is_connected());

    // The phone is back under the same name: the link opens it again by itself.
    connect_phone();
    ASSERT_TRUE(await_reconnection(10s));
    ASSERT_TRUE(phone->send("CHCK"));
    EXPECT_EQ(receive_while_pumping(1, 10s), "Y");
    EXPECT_EQ(console.lines(), (lines{"ERROR : Read error!", "Connected."}));
}

TEST_F(link_faults, a_slow_open_holds_up_neither_activation_nor_the_player_nor_deactivation) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    const thread_census threads;
    start_link_manager();
    console.clear();

    // The open waits until released: activation that waited for it would fail the limit.
    test::slow_port_open::hold(port_name());
    const auto before = clock::now();
    link_manager_instance->activate(true);
    EXPECT_LT(clock::now() - before, 10s);
    ASSERT_TRUE(test::slow_port_open::await_waiting_open());
    EXPECT_LT(longest_answer_while_pumping(500ms), 50ms);
    test::slow_port_open::release();
    std::size_t handed_over = 0;
    pump_until([&] { return console.lines().size() >= 3; }, 10s, handed_over);
    EXPECT_EQ(console.lines(),
              (lines{"Connecting to serial port " + port_name(), "Connected.", "Activated"}));
    ASSERT_TRUE(phone->send("CHCK"));
    EXPECT_EQ(receive_while_pumping(1, 10s), "Y");
    link_manager_instance->activate(false);

    // Deactivation while the open waits leaves the reader to end when the open returns; what
    // it opened is closed, and nothing more is logged.
    test::slow_port_open::hold(port_name());
    link_manager_instance->activate(true);
    ASSERT_TRUE(test::slow_port_open::await_waiting_open());
    console.clear();
    const auto deactivating = clock::now();
    link_manager_instance->activate(false);
    EXPECT_LT(clock::now() - deactivating, 10s);
    EXPECT_EQ(threads.settled(1), 1u);  // the reader, still in its open
    test::slow_port_open::release();
    pump_until([&] { return threads.started() == 0; }, 10s, handed_over);
    EXPECT_EQ(threads.settled(0), 0u);
    EXPECT_EQ(console.lines(), lines{"Deactivated"});

    // Connect clicked while an open waits: the new reader opens the port once the old open
    // has returned and let it go.
    test::slow_port_open::hold(port_name());
    link_manager_instance->activate(true);
    ASSERT_TRUE(test::slow_port_open::await_waiting_open());
    ASSERT_TRUE(test::activate_and_await(console, [] {
        link_manager_instance->activate(false);
        link_manager_instance->activate(true);
        test::slow_port_open::release();
    }));
    ASSERT_TRUE(phone->send("CHCK"));
    EXPECT_EQ(receive_while_pumping(1, 10s), "Y");
    stop_link_manager();
    EXPECT_EQ(threads.settled(0), 0u);
}

TEST_F(link_faults, the_link_deactivates_at_once_while_the_port_is_gone) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    activate_and_check();
    phone_goes_away();
    std::this_thread::sleep_for(300ms);  // the reader is now waiting to retry

    const auto before = clock::now();
    link_manager_instance->activate(false);
    // The wait for a retry must not hold the deactivation up (loose: the retry is 1 s).
    EXPECT_LT(clock::now() - before, 10s);
    EXPECT_FALSE(link_manager_instance->is_active());
}

// Connect clicked while a command's player service runs the message loop (a long import with
// a progress window): the reader waits for that command, so the reconnection waits for it too.
TEST_F(link_faults, connect_inside_a_command_takes_effect_when_the_command_returns) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    const thread_census threads;
    player.playlists.add_playlist({"a"});
    activate_and_check();
    bool clicked = false;
    player.location_import.while_importing = [&] {
        console.clear();
        link_manager_instance->activate(false);
        link_manager_instance->activate(true);
        clicked = true;
        std::size_t served = 0;
        pump_until([] { return false; }, 300ms, served);
        EXPECT_EQ(console.lines(), lines{});  // nothing happens while the command runs
    };
    ASSERT_TRUE(phone->send(std::string("LADD\0\x01x", 7)));
    std::size_t handed_over = 0;
    pump_until([&] { return clicked; }, 10s, handed_over);
    ASSERT_TRUE(clicked);
    player.location_import.while_importing = nullptr;

    pump_until([&] { return console.lines().size() >= 4; }, 10s, handed_over);
    EXPECT_EQ(console.lines(),
              (lines{"Deactivated", "Connecting to serial port " + test::path_to_utf8(port_link),
                     "Connected.", "Activated"}));
    ASSERT_TRUE(link_manager_instance->is_active());
    ASSERT_TRUE(phone->send("CHCK"));
    EXPECT_EQ(receive_while_pumping(1, 10s), "Y");

    stop_link_manager();
    pump_until([&] { return threads.started() == 0; }, 10s, handed_over);
    EXPECT_EQ(threads.settled(0), 0u);
}

TEST_F(link_faults, shut_down_inside_a_command_takes_effect_when_the_command_returns) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    const thread_census threads;
    player.playlists.add_playlist({"a"});
    activate_and_check();
    bool stopped = false;
    player.location_import.while_importing = [&] {
        console.clear();
        stop_link_manager();
        stopped = true;
        EXPECT_NE(link_manager_instance, nullptr);  // still running the command
    };
    ASSERT_TRUE(phone->send(std::string("LADD\0\x01x", 7)));
    std::size_t handed_over = 0;
    pump_until([&] { return stopped; }, 10s, handed_over);
    ASSERT_TRUE(stopped);
    player.location_import.while_importing = nullptr;

    EXPECT_EQ(link_manager_instance, nullptr);
    EXPECT_EQ(console.lines(), (lines{"Deactivated", "Terminating", "Deactivated"}));
    pump_until([&] { return threads.started() == 0; }, 10s, handed_over);
    EXPECT_EQ(threads.settled(0), 0u);
}

// A phone that reads a little at a time, as a slow Bluetooth link drains the port.
class slow_phone {
  public:
    // About 20 KB a second.
    explicit slow_phone(test::serial_peer& peer)
        : thread_([this, &peer] {
              while (!stop_.load()) {
                  std::string piece = peer.receive(512, 5ms);
                  if (!piece.empty()) {
                      const std::lock_guard<std::mutex> lock(mutex_);
                      received_ += piece;
                  }
                  std::this_thread::sleep_for(25ms);
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

// A music folder of more than 10,000 files, made once for every test that lists it.
class busy_link : public link_faults {
  protected:
    static void SetUpTestSuite() {
        music_ = new test::scratch_folder();
        for (int album = 0; album < 101; ++album) {
            for (int track = 0; track < 100; ++track) {
                music_->add_file("a" + std::to_string(album) + "/t" + std::to_string(track));
            }
        }
    }
    static void TearDownTestSuite() { delete std::exchange(music_, nullptr); }

    busy_link() {
        cfg_music_directory.set(music_->text().c_str());
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
        ASSERT_TRUE(test::activate_and_await(console));
        ASSERT_TRUE(
            phone->send("GVOLPLSTVERSLIST"
                        "PLSTINF2CHCKPLSTDINFPLENCHCKPLSTGVOL"));
        std::size_t handed_over = 0;
        pump_until([&] { return handed_over >= 5; }, 30s, handed_over);
        ASSERT_EQ(handed_over, 5u);
    }

    static test::scratch_folder* music_;
};

test::scratch_folder* busy_link::music_ = nullptr;

TEST_F(busy_link, a_phone_that_stops_reading_mid_listing_holds_up_neither_player_nor_deactivation) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    const thread_census threads;
    start_link_manager();
    ASSERT_TRUE(test::activate_and_await(console));
    ASSERT_TRUE(phone->send("LIST"));
    std::size_t handed_over = 0;
    pump_until([&] { return handed_over >= 1; }, 10s, handed_over);
    pump_until([] { return false; }, 500ms,
               handed_over);  // the line fills; the phone reads nothing

    // The CHCK after it is handed over while the listing waits for the phone: its reply waits
    // too, but the main thread goes on serving what other threads send it.
    ASSERT_TRUE(phone->send("CHCK"));
    EXPECT_LT(longest_answer_while_pumping(1s), 50ms);

    const auto before = clock::now();
    link_manager_instance->activate(false);
    EXPECT_LT(clock::now() - before, 1s);
    EXPECT_EQ(threads.settled(0), 0u);
}

TEST_F(busy_link, a_slow_phone_gets_the_whole_listing_then_the_check_and_stopping_is_prompt) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    const thread_census threads;
    slow_phone reader(*phone);
    start_link_manager();
    ASSERT_TRUE(test::activate_and_await(console));
    ASSERT_TRUE(phone->send("LIST"));
    std::size_t handed_over = 0;
    // A CHCK while the listing is on its way: its reply goes out after the listing.
    pump_until([&] { return reader.received().starts_with("LISTACK"); }, 30s, handed_over);
    ASSERT_TRUE(phone->send("CHCK"));
    pump_until([&] { return reader.received().ends_with('Y'); }, 60s, handed_over);

    const std::string received = reader.received();
    ASSERT_TRUE(received.ends_with('Y'))
        << received.size() << " bytes, ending "
        << received.substr(received.size() - std::min<std::size_t>(received.size(), 20));
    const test::parsed_listing listing =
        test::parse_listing(received.substr(0, received.size() - 1));
    ASSERT_TRUE(listing.well_formed);
    ASSERT_EQ(listing.roots.size(), 1u);
    EXPECT_EQ(listing.roots[0].entries.size(), 101u);

    // Stopping the player in the middle of the next listing cuts it.
    ASSERT_TRUE(phone->send("LIST"));
    pump_until([&] { return reader.received().size() > received.size() + 8192; }, 60s, handed_over);
    const auto before = clock::now();
    stop_link_manager();
    EXPECT_LT(clock::now() - before, 1s);
    reader.finish();
    EXPECT_EQ(threads.settled(0), 0u);
}

TEST_F(busy_link, a_phone_gone_mid_listing_comes_back_to_a_link_that_starts_afresh) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    {
        slow_phone reader(*phone);
        start_link_manager();
        ASSERT_TRUE(test::activate_and_await(console));
        console.clear();
        ASSERT_TRUE(phone->send("LIST"));
        std::size_t handed_over = 0;
        pump_until([&] { return reader.received().size() > 8192; }, 30s, handed_over);
        ASSERT_GT(reader.finish().size(), 8192u);
    }
    phone_goes_away();  // in the middle of the listing
    std::this_thread::sleep_for(1500ms);
    connect_phone();
    ASSERT_TRUE(await_reconnection(10s));

    // The rest of the listing is not sent to the phone that returns: its check is answered
    // first and alone.
    ASSERT_TRUE(phone->send("CHCK"));
    EXPECT_EQ(receive_while_pumping(1, 10s), "Y");
    EXPECT_EQ(receive_while_pumping(1, 300ms), "");
    EXPECT_EQ(console.lines(), (lines{"ERROR : Read error!", "Connected."}));
}

TEST_F(busy_link, deactivation_with_everything_in_flight_ends_at_once_and_leaves_no_thread) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    const thread_census threads;
    slow_phone reader(*phone);
    bring_everything_in_flight();

    const auto before = clock::now();
    link_manager_instance->activate(false);
    EXPECT_LT(clock::now() - before, 1s);
    EXPECT_FALSE(link_manager_instance->is_active());
    EXPECT_EQ(threads.settled(1), 1u);  // the phone's own reader alone

    // And the link comes up again afterwards. Commands the phone sent that were still waiting
    // in the port run first.
    ASSERT_TRUE(test::activate_and_await(console));
    ASSERT_TRUE(phone->send("VERS"));
    const std::string version_reply("VERSACK\x01\x49", 9);
    std::size_t handed_over = 0;
    pump_until([&] { return reader.received().ends_with(version_reply); }, 60s, handed_over);
    EXPECT_TRUE(reader.received().ends_with(version_reply));
}

TEST_F(busy_link, shut_down_with_everything_in_flight_ends_at_once_and_leaves_no_thread) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    const thread_census threads;
    slow_phone reader(*phone);
    bring_everything_in_flight();

    const auto before = clock::now();
    stop_link_manager();
    EXPECT_LT(clock::now() - before, 1s);
    EXPECT_EQ(link_manager_instance, nullptr);

    reader.finish();
    EXPECT_EQ(threads.settled(0), 0u);
    const lines logged = console.lines();
    ASSERT_GE(logged.size(), 3u);
    EXPECT_EQ(lines(logged.end() - 3, logged.end()),
              (lines{"Deactivated", "Terminating", "Deactivated"}));
}

namespace slow_folder_search = test::slow_folder_search;

// A music folder on a share that has gone away: its directory calls wait until released.
class dead_share : public link_faults {
  protected:
    dead_share() {
        music.add_file("album/one.mp3");
        music.add_file("album/two.mp3");
        music.add_file("away/three.mp3", 3);
        music.add_file("other/four.mp3");
        cfg_music_directory.set(music.text().c_str());
    }
    ~dead_share() override { slow_folder_search::release(); }

    // Holds every search of the "away" folder, and pumps until one is held.
    void hold_away_folder_and(const std::string& commands) {
        slow_folder_search::hold("away");
        ASSERT_TRUE(phone->send(commands));
        std::size_t handed_over = 0;
        pump_until([] { return slow_folder_search::await_held_search(0ms); }, 10s, handed_over);
        ASSERT_TRUE(slow_folder_search::await_held_search(0ms));
    }

    // Pumps until what the phone has satisfies complete, or the limit passes.
    std::string receive_until(const std::function<bool(const std::string&)>& complete,
                              std::chrono::milliseconds limit) {
        std::string got;
        const auto deadline = clock::now() + limit;
        while (!complete(got) && clock::now() < deadline) {
            corvina::posix_windows::pump_wait(5);
            got += phone->receive(65536, 5ms);
        }
        return got;
    }

    // Each stop returns within a moment while a command is held, and nothing of the held
    // command reaches the phone, not even once the share answers again.
    void expect_prompt_stop_and_silence(const std::function<void()>& stop) {
        const auto stopping = clock::now();
        stop();
        EXPECT_LT(clock::now() - stopping, 1s);
        slow_folder_search::release();
        EXPECT_EQ(receive_until([](const std::string&) { return false; }, 500ms), "");
    }

    // Pumps until the phone has count listings (or the limit passes), and any bytes that
    // follow in the next moment; answers each listing with what followed it.
    std::vector<std::string> receive_listings(std::size_t count, std::chrono::milliseconds limit) {
        const auto count_listings = [](const std::string& got) {
            std::size_t found = 0;
            for (std::size_t at = got.find("LISTACK"); at != std::string::npos;
                 at = got.find("LISTACK", at + 1)) {
                ++found;
            }
            return found;
        };
        std::string got = receive_until(
            [&](const std::string& so_far) {
                return count_listings(so_far) >= count &&
                       so_far.ends_with(std::string("\xFF\0", 2));
            },
            limit);
        got += receive_until([](const std::string&) { return false; }, 300ms);
        std::vector<std::string> listings;
        for (std::size_t at = got.find("LISTACK"); at != std::string::npos;) {
            const std::size_t next = got.find("LISTACK", at + 1);
            listings.push_back(got.substr(at, next - at));
            at = next;
        }
        return listings;
    }

    // The music-folder setting, as the player's preferences page applies it.
    void set_music_folder(const std::string& path) {
        cfg_music_directory.set(path.c_str());
        link_manager_instance->apply_settings();
    }

    static std::string folder_listing_command(const std::string& path) {
        return "DLST" + std::string{static_cast<char>(path.size() >> 8)} +
               static_cast<char>(path.size() & 0xFF) + path;
    }

    std::string music_name() const { return music.text(); }

    test::scratch_folder music;
};

std::size_t root_entries(const std::string& listing) {
    const test::parsed_listing parsed = test::parse_listing(listing);
    return parsed.well_formed && parsed.roots.size() == 1 ? parsed.roots[0].entries.size() : 0;
}

TEST_F(dead_share, a_walk_held_in_the_file_system_holds_up_neither_the_player_nor_the_commands) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    activate_and_check();

    // LIST, then LIST of another music folder, CHCK, with the first walk held: the check is
    // answered at once, the main thread serves what other threads send it, and both listings
    // follow once released, each of its own setting, in the order asked.
    hold_away_folder_and("LIST");
    set_music_folder(music_name() + "/album");
    ASSERT_TRUE(phone->send("LISTCHCK"));
    EXPECT_EQ(receive_while_pumping(1, 10s), "Y");
    EXPECT_LT(longest_answer_while_pumping(500ms), 50ms);
    slow_folder_search::release();
    const std::vector<std::string> listings = receive_listings(2, 10s);
    ASSERT_EQ(listings.size(), 2u);
    EXPECT_EQ(root_entries(listings[0]), 3u);  // album, away, other
    EXPECT_EQ(root_entries(listings[1]), 2u);  // one.mp3, two.mp3
}

// A phone that asks again and again while the share does not answer: one walk runs and one
// waits its turn, taking every later LIST, and each LIST still gets the whole listing. Once the
// phone has dropped and come back, neither its DLST nor its LIST waits for the earlier walks.
TEST_F(dead_share, lists_asked_while_a_walk_is_held_join_the_one_waiting_walk) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    activate_and_check();
    const thread_census threads;  // the reader and the writer run already

    hold_away_folder_and("LIST");
    std::string more;
    for (int asked = 1; asked < 30; ++asked) {
        more += "LIST";
    }
    ASSERT_TRUE(phone->send(more + "CHCK"));
    std::size_t most_threads = 0;
    std::string check;
    for (const auto deadline = clock::now() + 20s; check.empty() && clock::now() < deadline;) {
        corvina::posix_windows::pump_wait(5);
        most_threads = std::max(most_threads, threads.started());
        check = phone->receive(1, 5ms);
    }
    ASSERT_EQ(check, "Y");
    EXPECT_LE(most_threads, 2u);  // the held walk and the one waiting its turn
    slow_folder_search::release();
    const std::vector<std::string> listings = receive_listings(30, 20s);
    ASSERT_EQ(listings.size(), 30u);
    EXPECT_EQ(root_entries(listings[0]), 3u);
    for (const std::string& listing : listings) {
        EXPECT_EQ(listing, listings[0]);
    }

    hold_away_folder_and("LIST");
    phone_goes_away();
    connect_phone();
    ASSERT_TRUE(await_reconnection(10s));
    const std::string album = music_name() + "/album";
    set_music_folder(album);
    ASSERT_TRUE(phone->send(folder_listing_command(album) + "LIST"));
    const std::vector<std::string> after_return = receive_listings(2, 10s);
    EXPECT_TRUE(slow_folder_search::await_held_search(0ms));  // the earlier walk is still held
    ASSERT_EQ(after_return.size(), 2u);
    EXPECT_EQ(root_entries(after_return[0]), 2u);  // DLST of album
    EXPECT_EQ(root_entries(after_return[1]), 2u);  // LIST of album
    slow_folder_search::release();
    EXPECT_EQ(receive_until([](const std::string&) { return false; }, 500ms), "");
}

// Allocations of the main thread failed one by one as it starts a walk while another is held:
// it never waits for the held walk, and a LIST that could not be started sends nothing.
TEST_F(dead_share, a_walk_that_cannot_be_started_is_dropped_without_waiting) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    activate_and_check();
    hold_away_folder_and("LIST");

    phone_link& link = link_manager_instance->link();
    bool started = false;
    for (std::size_t fail_at = 1; !started && fail_at < 200; ++fail_at) {
        const auto asked = clock::now();
        test::failing_new::arm(fail_at);
        try {
            link.process_command(commands::list);
        } catch (const std::bad_alloc&) {
            // the player's boundary drops the command
        }
        started = !test::failing_new::has_failed();
        test::failing_new::disarm();
        EXPECT_LT(clock::now() - asked, 1s) << "allocation " << fail_at << " failed";
    }
    EXPECT_TRUE(started);
    slow_folder_search::release();
    EXPECT_EQ(receive_listings(2, 10s).size(), 2u);  // the held walk's and the started one's
}

// The one-folder listing of a DLST begins as the tree's does: it never overtakes the tree.
TEST_F(dead_share, a_folder_listing_asked_after_a_list_follows_its_listing) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    activate_and_check();

    const std::string album = music_name() + "/album";
    hold_away_folder_and("LIST");
    ASSERT_TRUE(phone->send(folder_listing_command(album) + "CHCK"));
    EXPECT_EQ(receive_until([](const std::string&) { return false; }, 500ms), "");
    slow_folder_search::release();
    std::vector<std::string> listings = receive_listings(2, 10s);
    ASSERT_EQ(listings.size(), 2u);
    EXPECT_EQ(root_entries(listings[0]), 3u);
    ASSERT_TRUE(listings[1].ends_with("Y"));
    listings[1].pop_back();
    const test::parsed_listing one_folder = test::parse_listing(listings[1]);
    ASSERT_TRUE(one_folder.well_formed);
    ASSERT_EQ(one_folder.roots.size(), 1u);
    EXPECT_EQ(one_folder.roots[0].name, album);
    EXPECT_EQ(one_folder.roots[0].entries.size(), 2u);

    // A reader whose DLST reply waits for a held walk holds up no deactivation.
    hold_away_folder_and("LIST");
    ASSERT_TRUE(phone->send(folder_listing_command(album)));
    EXPECT_EQ(receive_until([](const std::string&) { return false; }, 300ms), "");
    expect_prompt_stop_and_silence([] { link_manager_instance->activate(false); });
}

TEST_F(dead_share, deactivation_connect_and_shut_down_let_go_of_a_walk_held_in_the_file_system) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    const thread_census threads;
    activate_and_check();

    hold_away_folder_and("LIST");
    expect_prompt_stop_and_silence([] { link_manager_instance->activate(false); });

    ASSERT_TRUE(test::activate_and_await(console));
    hold_away_folder_and("LIST");
    expect_prompt_stop_and_silence([this] {
        ASSERT_TRUE(test::activate_and_await(console));  // Connect: off, then on again
    });
    ASSERT_TRUE(phone->send("CHCK"));
    EXPECT_EQ(receive_while_pumping(1, 10s), "Y");

    hold_away_folder_and("LIST");
    expect_prompt_stop_and_silence([] { stop_link_manager(); });
    std::size_t handed_over = 0;
    pump_until([&] { return threads.started() == 0; }, 10s, handed_over);
    EXPECT_EQ(threads.settled(0), 0u);
}

// DLST's one-level listing and FINF's search wait on the file system off the main thread; the
// reader waits for their replies before it reads on, so the order on the wire is kept.
TEST_F(dead_share, a_folder_listing_or_a_file_search_held_in_the_file_system_keeps_its_order) {
    ASSERT_EQ(phone->unavailable_reason(), "");
    player.playback.playing =
        &player.store.make_track(player.log, "three", "file://" + music_name() + "/away/three.mp3");
    activate_and_check();

    const std::string away = music_name() + "/away";
    const std::string list_folder = folder_listing_command(away);
    const std::string folder_reply =
        std::string("LISTACK\x01", 8) + away + std::string("\0\x22three.mp3\0\xFF\0", 14);
    const std::string search = std::string("FINF\0\0", 6);
    const std::string search_reply = std::string("FINFACK\0\0\0\x03", 11);

    for (const auto& [command, reply] :
         {std::pair{list_folder, folder_reply}, std::pair{search, search_reply}}) {
        hold_away_folder_and(command);
        ASSERT_TRUE(phone->send("CHCK"));
        EXPECT_LT(longest_answer_while_pumping(500ms), 50ms);
        EXPECT_EQ(phone->receive(1, 0ms), "");
        slow_folder_search::release();
        EXPECT_EQ(receive_while_pumping(reply.size() + 1, 10s), reply + "Y");
    }

    hold_away_folder_and(list_folder);
    expect_prompt_stop_and_silence([] { link_manager_instance->activate(false); });
    ASSERT_TRUE(test::activate_and_await(console));
    hold_away_folder_and(search);
    expect_prompt_stop_and_silence([] { stop_link_manager(); });
}

}  // namespace
}  // namespace tessel
