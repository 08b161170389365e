#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "config_streams.h"
#include "corvina/class_guids.h"
#include "corvina/services.h"
#include "loaded_module.h"
#include "support/module_thread.h"
#include "support/string8.h"
#include "tests/common/fake_host.h"

namespace tessel {
namespace {

namespace guids = corvina::class_guids;

// The module as the player loads it: found by file, entered through its one exported name.
TEST(component_module, exports_the_entry_point_and_serves_the_player) {
    test::loaded_module module(TESSEL_LINK_MODULE);
    auto get_interface =
        reinterpret_cast<corvina::get_interface_function>(module.symbol("corvina_get_interface"));
    ASSERT_NE(get_interface, nullptr);

    test::fake_host player;
    int module_marker = 0;
    corvina::component_entry* entry = get_interface(&player, &module_marker);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(get_interface(&player, &module_marker), entry);
    EXPECT_EQ(entry->interface_version(), 72u);

    std::vector<corvina::guid> classes;
    for (auto* factory = entry->first_factory(); factory != nullptr; factory = factory->next()) {
        classes.push_back(factory->class_guid());
    }
    ASSERT_EQ(classes.size(), 3u);
    EXPECT_TRUE(classes[0] == guids::componentversion);
    EXPECT_TRUE(classes[1] == guids::preferences_page);
    EXPECT_TRUE(classes[2] == guids::initquit);

    entry->set_paths("C:\\player", "tessel_link.dll");
    corvina::service_base* service = nullptr;
    entry->first_factory()->instance_create(service);
    ASSERT_NE(service, nullptr);
    string8 text;
    static_cast<corvina::componentversion*>(service)->get_file_name(text);
    EXPECT_EQ(text, "tessel_link.dll");
    static_cast<corvina::componentversion*>(service)->get_component_name(text);
    EXPECT_EQ(text, "Ambrel");

    test::memory_writer writer;
    test::never_abort abort;
    entry->save_configuration(writer, abort);
    EXPECT_EQ(writer.written.size(), 207u);
    test::memory_reader reader(writer.written);
    entry->load_configuration(reader, abort);
    EXPECT_EQ(reader.position(), 207u);
}

// The player may unload the component right after shut-down while a thread of it is still held
// in a system call (a Bluetooth open, a dead share): the thread keeps the module loaded, runs
// on, and ends cleanly once released.
TEST(component_module, a_thread_let_go_keeps_its_module_loaded_until_it_ends) {
    using namespace std::chrono_literals;
    const auto wait_until = [](const auto& done) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        return done();
    };
    // Unloaded at once when no thread of it runs: the check below can see a module that stays.
    { test::loaded_module probe(LET_GO_PROBE_MODULE); }
    ASSERT_FALSE(test::loaded_module::is_loaded(LET_GO_PROBE_MODULE));

    std::atomic<bool> released{false};
    std::atomic<bool> ended{false};
    {
        test::loaded_module probe(LET_GO_PROBE_MODULE);
        using start_function = void (*)(const std::atomic<bool>*, std::atomic<bool>*);
        const auto start = reinterpret_cast<start_function>(probe.symbol("start_let_go_thread"));
        ASSERT_NE(start, nullptr);
        start(&released, &ended);
    }
    std::this_thread::sleep_for(50ms);  // the thread runs the unloaded module's code meanwhile
    EXPECT_TRUE(test::loaded_module::is_loaded(LET_GO_PROBE_MODULE));
    released = true;
    EXPECT_TRUE(wait_until([&] { return ended.load(); }));
#if defined(_WIN32)
    // The thread gave its reference back as it ended: the module is gone now.
    EXPECT_TRUE(wait_until([] { return !test::loaded_module::is_loaded(LET_GO_PROBE_MODULE); }));
#endif
}

#if defined(_WIN32)
// As the process exits, Windows ends every other thread without notice, before the module's
// detach runs: a stop waiting for such a thread must see it has ended though its body never
// said so.
TEST(component_module, a_thread_the_system_ended_counts_as_ended) {
    using namespace std::chrono_literals;
    std::atomic<bool> marked{false};
    module_thread thread([&marked] {
        ExitThread(0);  // ends as the system ends it: nothing after this runs
        marked = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!(marked.load() || thread.has_ended()) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(thread.has_ended());
    EXPECT_FALSE(marked.load());
    thread.join();
}
#endif

}  // namespace
}  // namespace tessel
