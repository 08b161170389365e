#pragma once
// A fake player for tests.
//
//   tessel::test::fake_host player;             // registry of services by class GUID
//   tessel::test::recording_console console;    // keeps every printed line
//   player.add_service(corvina::class_guids::console, console);
//   tessel::test::host_guard guard(player);     // host().api = &player, services available
//   ...code under test logs...
//   EXPECT_EQ(console.lines(), std::vector<std::string>{"Connected."});
//   EXPECT_EQ(player.outstanding_references(), 0);  // every lookup released what it took
//
// Services stay owned by the test; the registry only points at them, so register objects that
// outlive the fake_host. counted_service<I> implements the reference counting of any service
// interface I; derive a fake from it and implement I's own operations.
// is_main_thread() answers true on the thread that built the fake_host unless
// set_main_thread() fixes the answer. Lookups and console lines are safe from any thread;
// register services before other threads use the host.

#include <atomic>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "corvina/class_guids.h"
#include "corvina/service.h"
#include "corvina/services.h"

namespace tessel::test {

// Reference counting of a service object that the test owns (release never deletes).
template <class Interface>
class counted_service : public Interface {
  public:
    int service_release() override { return --references_; }
    int service_add_ref() override { return ++references_; }
    bool service_query(corvina::service_base*& /*out*/, const corvina::guid& /*cls*/) override {
        return false;
    }

    // References held by others right now.
    int references() const { return references_.load(); }

  private:
    std::atomic<int> references_{0};
};

// A console service that records each line it is handed.
class recording_console final : public counted_service<corvina::console> {
  public:
    void print(const char* text, std::size_t length = corvina::whole_text) override;

    std::vector<std::string> lines() const;
    void clear();

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

class fake_host final : public corvina::host_api {
  public:
    fake_host();
    fake_host(const fake_host&) = delete;
    fake_host& operator=(const fake_host&) = delete;
    ~fake_host() = default;

    // Adds one implementation of a service class; several for one class are allowed.
    void add_service(const corvina::guid& cls, corvina::service_base& service);
    // Adds an implementation that is counted but whose creation fails.
    void add_uncreatable_service(const corvina::guid& cls);

    // Fixes what is_main_thread() answers; by default it compares with the building thread.
    void set_main_thread(bool answer) { main_thread_answer_ = answer ? 1 : 0; }
    void set_main_window(corvina::window_handle window) { main_window_ = window; }

    // References currently held on every registered service together.
    int outstanding_references() const;

    // host_api
    class_handle find_class(const corvina::guid& cls) override;
    bool create_instance(corvina::service_base*& out, class_handle cls, std::size_t index) override;
    std::size_t instance_count(class_handle cls) override;
    corvina::window_handle main_window() override { return main_window_; }
    bool is_main_thread() override;

  private:
    struct guid_less {
        bool operator()(const corvina::guid& a, const corvina::guid& b) const;
    };
    // Null entries stand for uncreatable implementations.
    using implementations = std::vector<corvina::service_base*>;

    std::map<corvina::guid, implementations, guid_less> classes_;
    const implementations no_implementations_;
    std::atomic<int> main_thread_answer_{-1};  // -1: compare with the building thread
    const std::thread::id building_thread_;
    std::atomic<corvina::window_handle> main_window_{nullptr};
};

// Installs a host as the component's player and restores the previous one when it ends.
class host_guard {
  public:
    explicit host_guard(corvina::host_api& api, bool services_available = true);
    host_guard(const host_guard&) = delete;
    host_guard& operator=(const host_guard&) = delete;
    ~host_guard();

  private:
    corvina::host_api* previous_api_;
    bool previous_available_;
};

}  // namespace tessel::test
