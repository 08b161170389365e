#pragma once
// The player's side of the service framework as the conformance host offers it: the host API
// object, and the console, version-information and menu-command services. Every object counts
// its references and notes calls that reach it wrongly (a foreign this or out pointer), which is
// how a slot the two compilers disagree on shows up.

#include <cstddef>
#include <cstdint>

#include "corvina/class_guids.h"
#include "corvina/service.h"
#include "corvina/services.h"
#include "tests/conformance/text.h"

namespace conformance {

template <class Interface>
class hosted_service : public Interface {
  public:
    explicit hosted_service(const corvina::guid& cls) : class_(cls) {}

    int service_release() override { return --references_; }
    int service_add_ref() override { return ++references_; }
    bool service_query(corvina::service_base*& out, const corvina::guid& cls) override {
        if (!(cls == class_)) {
            return false;
        }
        this->service_add_ref();
        if (out != nullptr) {
            out->service_release();
        }
        out = this;
        return true;
    }

    int references() const { return references_; }

  private:
    const corvina::guid& class_;
    int references_ = 0;
};

class player_api final : public corvina::host_api {
  public:
    player_api();

    void offer(const corvina::guid& cls, corvina::service_base& service);
    // Takes every service of the class away, as a player without it would be.
    void withdraw(const corvina::guid& cls);
    void set_main_window(corvina::window_handle window) { main_window_ = window; }

    class_handle find_class(const corvina::guid& cls) override;
    bool create_instance(corvina::service_base*& out, class_handle cls, std::size_t index) override;
    std::size_t instance_count(class_handle cls) override;
    corvina::window_handle main_window() override { return main_window_; }
    bool is_main_thread() override;

  private:
    struct service_class {
        const corvina::guid* id;
        corvina::service_base* services[4];
        std::size_t count;
    };
    service_class* entry(class_handle cls);

    service_class classes_[4] = {};
    std::size_t class_count_ = 0;
    corvina::window_handle main_window_ = nullptr;
    unsigned long main_thread_;
};

class console_service final : public hosted_service<corvina::console> {
  public:
    console_service() : hosted_service(corvina::class_guids::console) {}

    void print(const char* line, std::size_t length = corvina::whole_text) override;

    std::uint32_t line_count() const { return line_count_; }
    // The line most recently printed.
    const char* last_line() const { return line(line_count_ - 1); }
    // Whether one of the lines printed since line_count() answered first was this one.
    bool printed_since(std::uint32_t first, const char* wanted) const;

  private:
    static constexpr std::uint32_t kept = 16;
    const char* line(std::uint32_t number) const { return lines_[number % kept].get_ptr(); }

    std::uint32_t line_count_ = 0;
    text lines_[kept];
};

class version_service final : public hosted_service<corvina::version_info> {
  public:
    static constexpr const char* version = "2.1.7";

    version_service() : hosted_service(corvina::class_guids::version_info) {}

    const char* get_version_string() override { return version; }
};

// A provider of main-menu commands. Slot 4 is where the two compilers disagreed: it checks that
// the call reached a provider and that out is the caller's storage, not one of its own objects.
class menu_provider final : public hosted_service<corvina::menu_commands> {
  public:
    menu_provider(const corvina::guid* commands, std::uint32_t count);
    menu_provider(const menu_provider&) = delete;
    menu_provider& operator=(const menu_provider&) = delete;
    ~menu_provider();

    std::uint32_t get_command_count() override { return count_; }
    corvina::guid* get_command(corvina::guid* out, std::uint32_t index) override;
    void execute(std::uint32_t index, corvina::service_base* callback) override;

    std::uint32_t executions() const { return executions_; }
    std::uint32_t executed_index() const { return executed_index_; }
    bool callback_was_empty() const { return callback_was_empty_; }

  private:
    const corvina::guid* commands_;
    std::uint32_t count_;
    std::uint32_t executions_ = 0;
    std::uint32_t executed_index_ = 0;
    bool callback_was_empty_ = true;
};

}  // namespace conformance
