#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_services.h"
#include "support/exceptions.h"
#include "support/host_access.h"
#include "tests/common/fake_host.h"

namespace tessel {
namespace {

namespace guids = corvina::class_guids;

constexpr corvina::guid help_command{
    0x91E349DA, 0x8800, 0x42E5, {0xBC, 0x8C, 0xF3, 0xA9, 0x25, 0x77, 0xAE, 0x84}};
constexpr corvina::guid other_command{
    0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

class fake_menu final : public test::counted_service<corvina::menu_commands> {
  public:
    explicit fake_menu(std::vector<corvina::guid> commands) : commands_(std::move(commands)) {}

    std::uint32_t get_command_count() override {
        ++count_asked;
        return static_cast<std::uint32_t>(commands_.size());
    }
    corvina::guid* get_command(corvina::guid* out, std::uint32_t index) override {
        *out = commands_.at(index);
        return out;
    }
    void execute(std::uint32_t index, corvina::service_base* callback) override {
        executed.push_back(index);
        callback_was_null = callback == nullptr;
    }

    int count_asked = 0;
    std::vector<std::uint32_t> executed;
    bool callback_was_null = false;

  private:
    std::vector<corvina::guid> commands_;
};

class fixed_version final : public test::counted_service<corvina::version_info> {
  public:
    const char* get_version_string() override { return "9.0"; }
};

template <class Exception>
std::string failure_text(void (*action)()) {
    try {
        action();
    } catch (const Exception& e) {
        return e.what();
    }
    return "no exception";
}

void ask_version() {
    (void)host_version_text();
}

TEST(service_lookup, failures_carry_their_fixed_texts) {
    {
        test::fake_host player;
        test::host_guard guard(player);
        EXPECT_EQ(failure_text<exception_service_not_found>(ask_version), "Service not found");
    }
    {
        test::fake_host player;
        fixed_version one, two;
        player.add_service(guids::version_info, one);
        player.add_service(guids::version_info, two);
        test::host_guard guard(player);
        EXPECT_EQ(failure_text<exception_service_duplicated>(ask_version), "Service duplicated");
        EXPECT_EQ(player.outstanding_references(), 0);
    }
    {
        test::fake_host player;
        player.add_uncreatable_service(guids::version_info);
        test::host_guard guard(player);
        EXPECT_EQ(failure_text<exception_bug_check>(ask_version), "Bug check");
    }
}

TEST(service_lookup, version_text_comes_from_the_single_service_and_is_released) {
    test::fake_host player;
    fixed_version version;
    player.add_service(guids::version_info, version);
    test::host_guard guard(player);
    EXPECT_STREQ(host_version_text(), "9.0");
    EXPECT_EQ(player.outstanding_references(), 0);
}

TEST(menu_command, runs_the_first_match_only) {
    test::fake_host player;
    fake_menu first({other_command});
    fake_menu second({other_command, help_command, help_command});
    fake_menu third({help_command});
    player.add_service(guids::menu_commands, first);
    player.add_service(guids::menu_commands, second);
    player.add_service(guids::menu_commands, third);
    test::host_guard guard(player);

    EXPECT_TRUE(run_main_menu_command(help_command));
    EXPECT_TRUE(first.executed.empty());
    EXPECT_EQ(second.executed, std::vector<std::uint32_t>{1});
    EXPECT_TRUE(second.callback_was_null);
    EXPECT_EQ(third.count_asked, 0);
    EXPECT_TRUE(third.executed.empty());
    EXPECT_EQ(player.outstanding_references(), 0);
}

TEST(menu_command, unknown_command_runs_nothing) {
    test::fake_host player;
    fake_menu first({other_command});
    fake_menu second({});
    player.add_service(guids::menu_commands, first);
    player.add_service(guids::menu_commands, second);
    test::host_guard guard(player);

    EXPECT_FALSE(run_main_menu_command(help_command));
    EXPECT_TRUE(first.executed.empty());
    EXPECT_TRUE(second.executed.empty());
    EXPECT_EQ(second.count_asked, 1);
    EXPECT_EQ(player.outstanding_references(), 0);
}

TEST(menu_command, no_providers_means_not_found) {
    test::fake_host player;
    test::host_guard guard(player);
    EXPECT_FALSE(run_main_menu_command(help_command));
}

}  // namespace
}  // namespace tessel
