#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corvina/class_guids.h"
#include "corvina/services.h"
#include "host/component_entry.h"
#include "host/remote_config_page.h"
#include "support/host_access.h"
#include "support/string8.h"
#include "tests/common/fake_host.h"

namespace tessel {
namespace {

namespace guids = corvina::class_guids;

std::vector<corvina::service_factory_base*> walk_chain() {
    std::vector<corvina::service_factory_base*> factories;
    for (auto* f = component_entry_object().first_factory(); f != nullptr; f = f->next()) {
        factories.push_back(f);
    }
    return factories;
}

corvina::service_base* create_from(corvina::service_factory_base& factory) {
    corvina::service_base* instance = nullptr;
    factory.instance_create(instance);
    return instance;
}

template <class T>
T& service_of(const corvina::guid& cls) {
    for (auto* factory : walk_chain()) {
        if (factory->class_guid() == cls) {
            return *static_cast<T*>(create_from(*factory));
        }
    }
    throw std::runtime_error("no factory");
}

// Clears the paths the host may have set in an earlier test of this process.
class version_record : public ::testing::Test {
  protected:
    void SetUp() override { component_entry_object().set_paths(nullptr, nullptr); }
    void TearDown() override { component_entry_object().set_paths(nullptr, nullptr); }
};

TEST(factory_chain, runs_version_record_page_startup_then_ends) {
    const auto factories = walk_chain();
    ASSERT_EQ(factories.size(), 3u);
    EXPECT_TRUE(factories[0]->class_guid() == guids::componentversion);
    EXPECT_TRUE(factories[1]->class_guid() == guids::preferences_page);
    EXPECT_TRUE(factories[2]->class_guid() == guids::initquit);
    EXPECT_EQ(factories[2]->next(), nullptr);
}

TEST(factory_chain, each_factory_hands_out_one_static_instance) {
    for (auto* factory : walk_chain()) {
        corvina::service_base* first = create_from(*factory);
        ASSERT_NE(first, nullptr);
        corvina::service_base* again = create_from(*factory);
        EXPECT_EQ(first, again);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(first->service_release(), 1);
        }
        EXPECT_EQ(first->service_add_ref(), 1);
        EXPECT_EQ(create_from(*factory), first);
    }
}

TEST(factory_chain, create_releases_what_the_out_pointer_held) {
    test::recording_console previous;
    for (auto* factory : walk_chain()) {
        previous.service_add_ref();
        corvina::service_base* out = &previous;
        factory->instance_create(out);
        EXPECT_EQ(previous.references(), 0);
        EXPECT_NE(out, &previous);
    }
}

TEST(factory_chain, each_service_answers_only_its_own_class) {
    const corvina::guid others[] = {guids::initquit, guids::preferences_page,
                                    guids::componentversion, guids::console};
    for (auto* factory : walk_chain()) {
        corvina::service_base* service = create_from(*factory);
        for (const corvina::guid& cls : others) {
            test::recording_console previous;
            previous.service_add_ref();
            corvina::service_base* out = &previous;
            const bool answered = service->service_query(out, cls);
            if (cls == factory->class_guid()) {
                EXPECT_TRUE(answered);
                EXPECT_EQ(out, service);
                EXPECT_EQ(previous.references(), 0);
            } else {
                EXPECT_FALSE(answered);
                EXPECT_EQ(out, &previous);
                EXPECT_EQ(previous.references(), 1);
            }
        }
    }
}

TEST_F(version_record, reports_name_version_about_and_file_name) {
    auto& record = service_of<corvina::componentversion>(guids::componentversion);
    string8 text("left over");
    record.get_file_name(text);
    EXPECT_EQ(text, "");
    record.get_component_name(text);
    EXPECT_EQ(text, "Ambrel");
    record.get_component_version(text);
    EXPECT_EQ(text, "1.1");
    record.get_about_message(text);
    EXPECT_FALSE(text.is_empty());
    EXPECT_EQ(text.view().find('\n'), std::string_view::npos);

    component_entry_object().set_paths("C:\\player", "tessel_link.dll");
    record.get_file_name(text);
    EXPECT_EQ(text, "tessel_link.dll");
}

TEST(entry_object, answers_version_flag_and_records_availability) {
    corvina::component_entry& entry = component_entry_object();
    EXPECT_EQ(entry.interface_version(), 72u);
    EXPECT_FALSE(entry.reserved_flag());
    const bool before = host().services_available.load();
    entry.set_services_available(true);
    EXPECT_TRUE(host().services_available.load());
    entry.set_services_available(false);
    EXPECT_FALSE(host().services_available.load());
    host().services_available.store(before);
}

class fixed_version final : public test::counted_service<corvina::version_info> {
  public:
    const char* get_version_string() override { return "2.4.1"; }
};

TEST(preferences_page, describes_itself_and_builds_its_help_address) {
    auto& page = service_of<corvina::preferences_page>(guids::preferences_page);
    EXPECT_STREQ(page.get_name(), "Ambrel");
    EXPECT_TRUE(page.guid_value() ==
                (corvina::guid{
                    0xB3BBE560, 0x14AE, 0x4F72, {0xB4, 0x6B, 0x37, 0x36, 0x49, 0x7F, 0xB0, 0xDA}}));
    EXPECT_TRUE(page.parent_guid_value() ==
                (corvina::guid{
                    0x627C0767, 0x0793, 0x44F8, {0x80, 0x87, 0xBE, 0x49, 0x34, 0x31, 0x12, 0x82}}));
    EXPECT_FALSE(page.supports_reset());

    test::fake_host player;
    fixed_version version;
    player.add_service(guids::version_info, version);
    test::host_guard guard(player);
    string8 url("old text");
    EXPECT_TRUE(page.get_help_url(url));
    EXPECT_EQ(url, std::string(remote_config_page::help_site) +
                       "2.4.1/preferences/B3BBE560-14AE-4F72-B46B-3736497FB0DA/Ambrel");
    EXPECT_EQ(player.outstanding_references(), 0);
}

TEST(preferences_page, help_address_without_version_service_fails_and_leaves_text) {
    auto& page = service_of<corvina::preferences_page>(guids::preferences_page);
    test::fake_host player;
    test::host_guard guard(player);
    string8 url("old text");
    EXPECT_FALSE(page.get_help_url(url));  // no exception reaches the player
    EXPECT_EQ(url, "old text");
}

TEST(guid_text, pads_every_group_with_zeros) {
    string8 text;
    append_guid_text(text, corvina::guid{0x0000000A, 0x000B, 0x00C0, {0, 1, 2, 3, 4, 5, 6, 0xF7}});
    EXPECT_EQ(text, "0000000A-000B-00C0-0001-0203040506F7");
}

}  // namespace
}  // namespace tessel
