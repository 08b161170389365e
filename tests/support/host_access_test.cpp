#include "support/host_access.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corvina/class_guids.h"
#include "corvina/services.h"
#include "tests/common/fake_host.h"

namespace tessel {
namespace {

class fake_version_info final : public test::counted_service<corvina::version_info> {
  public:
    const char* get_version_string() override { return "corvina 2.1"; }
};

std::string failure_text(const corvina::guid& cls) {
    try {
        get_single_service<corvina::version_info>(cls);
    } catch (const std::exception& failure) {
        return failure.what();
    }
    return "no failure";
}

TEST(host_access, the_single_service_is_found_and_released) {
    fake_version_info version;
    test::fake_host player;
    player.add_service(corvina::class_guids::version_info, version);
    test::host_guard guard(player);
    {
        const service_ptr<corvina::version_info> found =
            get_single_service<corvina::version_info>(corvina::class_guids::version_info);
        ASSERT_TRUE(found);
        EXPECT_STREQ(found->get_version_string(), "corvina 2.1");
        EXPECT_EQ(version.references(), 1);
    }
    EXPECT_EQ(player.outstanding_references(), 0);
}

TEST(host_access, lookups_fail_with_their_texts_and_leave_nothing_held) {
    fake_version_info first;
    fake_version_info second;
    test::fake_host player;
    player.add_service(corvina::class_guids::version_info, first);
    player.add_service(corvina::class_guids::version_info, second);
    player.add_uncreatable_service(corvina::class_guids::menu_commands);
    test::host_guard guard(player);

    EXPECT_EQ(failure_text(corvina::class_guids::playback_service), "Service not found");
    EXPECT_EQ(failure_text(corvina::class_guids::version_info), "Service duplicated");
    EXPECT_EQ(failure_text(corvina::class_guids::menu_commands), "Bug check");
    EXPECT_THROW(get_single_service_base(corvina::class_guids::playback_service),
                 exception_service_not_found);
    EXPECT_THROW(get_single_service_base(corvina::class_guids::version_info),
                 exception_service_duplicated);
    EXPECT_THROW(get_single_service_base(corvina::class_guids::menu_commands), exception_bug_check);
    EXPECT_EQ(player.outstanding_references(), 0);
}

TEST(host_access, without_a_host_nothing_is_found) {
    ASSERT_EQ(host().api, nullptr);
    EXPECT_THROW(get_single_service_base(corvina::class_guids::console),
                 exception_service_not_found);
    int visited = 0;
    for_each_service<corvina::console>(corvina::class_guids::console,
                                       [&](corvina::console&) { ++visited; });
    EXPECT_EQ(visited, 0);
    EXPECT_EQ(host_main_window(), nullptr);
    EXPECT_TRUE(host_is_main_thread());
}

TEST(host_access, each_service_is_released_before_the_next) {
    test::recording_console first;
    test::recording_console second;
    test::fake_host player;
    player.add_service(corvina::class_guids::console, first);
    player.add_service(corvina::class_guids::console, second);
    test::host_guard guard(player);
    std::vector<int> held;
    for_each_service<corvina::console>(corvina::class_guids::console, [&](corvina::console&) {
        held.push_back(first.references() + second.references());
    });
    EXPECT_EQ(held, (std::vector<int>{1, 1}));
    EXPECT_EQ(player.outstanding_references(), 0);
}

TEST(host_access, a_visit_that_throws_still_releases) {
    test::recording_console console;
    test::fake_host player;
    player.add_service(corvina::class_guids::console, console);
    test::host_guard guard(player);
    EXPECT_THROW(
        for_each_service<corvina::console>(corvina::class_guids::console,
                                           [](corvina::console&) { throw exception_overflow(); }),
        exception_overflow);
    EXPECT_EQ(player.outstanding_references(), 0);
}

TEST(host_access, main_thread_and_window_come_from_the_host) {
    test::fake_host player;
    int window_stand_in = 0;
    player.set_main_window(&window_stand_in);
    {
        test::host_guard unavailable(player, false);
        player.set_main_thread(false);
        EXPECT_TRUE(host_is_main_thread()) << "before the services, every thread is main";
    }
    test::host_guard guard(player);
    EXPECT_EQ(host_main_window(), &window_stand_in);
    EXPECT_FALSE(host_is_main_thread());
    player.set_main_thread(true);
    EXPECT_TRUE(host_is_main_thread());
}

TEST(host_access, guard_restores_the_previous_host) {
    test::fake_host outer;
    test::fake_host inner;
    test::host_guard outer_guard(outer);
    {
        test::host_guard inner_guard(inner, false);
        EXPECT_EQ(host().api, &inner);
        EXPECT_FALSE(host().services_available.load());
    }
    EXPECT_EQ(host().api, &outer);
    EXPECT_TRUE(host().services_available.load());
}

}  // namespace
}  // namespace tessel
