// The headless window system: sends run on the owner thread, fail for destroyed windows and
// release their senders when the window goes away.

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>

#include "corvina/posix_windows.h"

namespace pw = corvina::posix_windows;

namespace {

constexpr std::uint32_t message_ask = 0x8000;

std::atomic<std::thread::id> last_procedure_thread;
std::atomic<int> destroy_messages{0};

std::intptr_t recording_procedure(corvina::window_handle window, std::uint32_t message,
                                  std::uintptr_t wparam, std::intptr_t lparam) {
    if (message == pw::message_destroy) {
        ++destroy_messages;
        return 0;
    }
    if (message == message_ask) {
        last_procedure_thread = std::this_thread::get_id();
        return static_cast<std::intptr_t>(wparam) * 10 + lparam;
    }
    return pw::default_procedure(window, message, wparam, lparam);
}

std::intptr_t refusing_procedure(corvina::window_handle, std::uint32_t message, std::uintptr_t,
                                 std::intptr_t) {
    return message == pw::message_create ? -1 : 0;
}

// Registers the test class once per process.
void ensure_class() {
    static const bool registered = pw::register_class("window_system_test", recording_procedure);
    ASSERT_TRUE(registered);
}

// Pumps the calling thread until the future is ready; a generous bound so a fault fails the
// test instead of hanging it.
template <class T>
bool pump_until_ready(std::future<T>& result) {
    for (int i = 0; i < 1000; ++i) {
        if (result.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready) {
            return true;
        }
        pw::pump_wait(10);
    }
    return false;
}

}  // namespace

TEST(WindowClass, RegisteringAnExistingNameFails) {
    ensure_class();
    EXPECT_FALSE(pw::register_class("window_system_test", pw::default_procedure));
    EXPECT_FALSE(pw::register_class(nullptr, pw::default_procedure));
    EXPECT_TRUE(pw::register_class("window_system_test_other", pw::default_procedure));
    EXPECT_TRUE(pw::unregister_class("window_system_test_other"));
    EXPECT_FALSE(pw::unregister_class("window_system_test_other"));
}

TEST(WindowCreation, UnknownClassOrDeadParentOrRefusalGiveNoWindow) {
    ensure_class();
    EXPECT_EQ(pw::create_window("no_such_class", "x", nullptr, nullptr), nullptr);

    corvina::window_handle parent = pw::create_window("window_system_test", "p", nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    ASSERT_TRUE(pw::destroy_window(parent));
    EXPECT_EQ(pw::create_window("window_system_test", "c", parent, nullptr), nullptr);

    ASSERT_TRUE(pw::register_class("window_system_test_refusing", refusing_procedure));
    EXPECT_EQ(pw::create_window("window_system_test_refusing", "r", nullptr, nullptr), nullptr);
}

TEST(WindowCreation, UCreateWindowExMakesAChildOfTheGivenParent) {
    ensure_class();
    corvina::window_handle parent =
        pw::create_window("window_system_test", "main", nullptr, nullptr);
    corvina::window_handle child = uCreateWindowEx(
        0, "window_system_test", "child", 0, corvina::win32_values::cw_usedefault,
        corvina::win32_values::cw_usedefault, 0, 0, parent, nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(pw::get_parent(child), parent);

    // Destroying the parent takes its child with it, each procedure told once.
    const int before = destroy_messages;
    ASSERT_TRUE(pw::destroy_window(parent));
    EXPECT_EQ(destroy_messages - before, 2);
    EXPECT_FALSE(pw::is_window(child));
    EXPECT_FALSE(pw::destroy_window(child));
}

TEST(SendMessage, FromTheOwnerThreadCallsDirectly) {
    ensure_class();
    corvina::window_handle window = pw::create_window("window_system_test", "w", nullptr, nullptr);
    EXPECT_EQ(pw::send_message(window, message_ask, 4, 2), 42);
    EXPECT_EQ(last_procedure_thread.load(), std::this_thread::get_id());
    pw::destroy_window(window);
}

TEST(SendMessage, FromAnotherThreadRunsOnTheOwnerAndReturnsTheResult) {
    ensure_class();
    corvina::window_handle window = pw::create_window("window_system_test", "w", nullptr, nullptr);
    last_procedure_thread = std::thread::id();
    std::future<std::intptr_t> result = std::async(
        std::launch::async, [window] { return pw::send_message(window, message_ask, 7, 3); });
    ASSERT_TRUE(pump_until_ready(result));
    EXPECT_EQ(result.get(), 73);
    EXPECT_EQ(last_procedure_thread.load(), std::this_thread::get_id());
    pw::destroy_window(window);
}

TEST(SendMessage, ToADestroyedWindowFailsAtOnce) {
    ensure_class();
    corvina::window_handle window = pw::create_window("window_system_test", "w", nullptr, nullptr);
    ASSERT_TRUE(pw::destroy_window(window));
    EXPECT_EQ(pw::send_message(window, message_ask, 1, 1), 0);
    std::future<std::intptr_t> result = std::async(
        std::launch::async, [window] { return pw::send_message(window, message_ask, 1, 1); });
    // No pumping: the send must not wait for the owner.
    EXPECT_EQ(result.get(), 0);
}

TEST(SendMessage, DestroyWhileASenderWaitsReleasesIt) {
    ensure_class();
    corvina::window_handle window = pw::create_window("window_system_test", "w", nullptr, nullptr);
    std::promise<void> about_to_send;
    std::future<std::intptr_t> result = std::async(std::launch::async, [&] {
        about_to_send.set_value();
        return pw::send_message(window, message_ask, 5, 5);
    });
    about_to_send.get_future().wait();
    // Not pumped, so the sender keeps waiting until the window goes away.
    EXPECT_EQ(result.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    ASSERT_TRUE(pw::destroy_window(window));
    EXPECT_EQ(result.get(), 0);
}

TEST(SendMessage, OnlyTheOwnerMayDestroyAWindow) {
    ensure_class();
    corvina::window_handle window = pw::create_window("window_system_test", "w", nullptr, nullptr);
    std::future<bool> destroyed =
        std::async(std::launch::async, [window] { return pw::destroy_window(window); });
    EXPECT_FALSE(destroyed.get());
    EXPECT_TRUE(pw::is_window(window));
    pw::destroy_window(window);
}

TEST(SendMessage, WindowsOfAnEndedThreadAreGoneAndTheirSendersReleased) {
    ensure_class();
    std::promise<corvina::window_handle> made;
    std::promise<void> finish;
    std::thread owner([&] {
        made.set_value(pw::create_window("window_system_test", "w", nullptr, nullptr));
        finish.get_future().wait();  // never pumps
    });
    corvina::window_handle window = made.get_future().get();
    std::future<std::intptr_t> result = std::async(
        std::launch::async, [window] { return pw::send_message(window, message_ask, 1, 1); });
    finish.set_value();
    owner.join();
    EXPECT_EQ(result.get(), 0);
    EXPECT_FALSE(pw::is_window(window));
}

TEST(SendMessage, TwoThreadsSendingToEachOtherDoNotDeadlock) {
    ensure_class();
    corvina::window_handle mine = pw::create_window("window_system_test", "mine", nullptr, nullptr);
    std::promise<corvina::window_handle> made;
    std::promise<std::intptr_t> other_got;
    std::atomic<bool> main_done{false};
    std::thread other([&] {
        corvina::window_handle theirs =
            pw::create_window("window_system_test", "theirs", nullptr, nullptr);
        made.set_value(theirs);
        // Sends to the main thread's window while the main thread sends to ours: each sender
        // serves the other's send while it waits.
        other_got.set_value(pw::send_message(mine, message_ask, 2, 0));
        while (!main_done) {
            pw::pump_wait(10);
        }
        pw::destroy_window(theirs);
    });
    corvina::window_handle theirs = made.get_future().get();
    EXPECT_EQ(pw::send_message(theirs, message_ask, 3, 0), 30);
    main_done = true;
    pw::wake(other.get_id());
    // The other thread's send may still wait for this thread: keep serving until it is done.
    std::future<std::intptr_t> got = other_got.get_future();
    ASSERT_TRUE(pump_until_ready(got));
    EXPECT_EQ(got.get(), 20);
    other.join();
    pw::destroy_window(mine);
}

TEST(PumpWait, WakeEndsTheWaitEvenWhenItCameFirst) {
    pw::pump();  // registers this thread
    pw::wake(std::this_thread::get_id());
    EXPECT_EQ(pw::pump_wait(60'000), 0u);  // returns at once: the wake was remembered

    std::thread waker([id = std::this_thread::get_id()] { pw::wake(id); });
    EXPECT_EQ(pw::pump_wait(60'000), 0u);
    waker.join();
}
