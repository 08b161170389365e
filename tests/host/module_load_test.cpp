#include <gtest/gtest.h>

#include <vector>

#include "config_streams.h"
#include "corvina/class_guids.h"
#include "corvina/services.h"
#include "loaded_module.h"
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

}  // namespace
}  // namespace tessel
