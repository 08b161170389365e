#include "tests/conformance/player.h"

#include "tests/conformance/report.h"
#include "tests/conformance/win32.h"

namespace conformance {

namespace {

// The providers alive now, so that slot 4 can tell a provider from a stray pointer without
// reading through it.
menu_provider* providers[4];

bool is_provider(const void* object) {
    for (menu_provider* provider : providers) {
        if (provider != nullptr && provider == object) {
            return true;
        }
    }
    return false;
}

}  // namespace

player_api::player_api() : main_thread_(GetCurrentThreadId()) {}

void player_api::offer(const corvina::guid& cls, corvina::service_base& service) {
    service_class* found = nullptr;
    for (std::size_t i = 0; i < class_count_; ++i) {
        if (*classes_[i].id == cls) {
            found = &classes_[i];
        }
    }
    if (found == nullptr) {
        found = &classes_[class_count_++];
        found->id = &cls;
    }
    found->services[found->count++] = &service;
}

void player_api::withdraw(const corvina::guid& cls) {
    for (std::size_t i = 0; i < class_count_; ++i) {
        if (*classes_[i].id == cls) {
            classes_[i].count = 0;
        }
    }
}

player_api::service_class* player_api::entry(class_handle cls) {
    for (std::size_t i = 0; i < class_count_; ++i) {
        if (cls == &classes_[i]) {
            return &classes_[i];
        }
    }
    return nullptr;
}

// An unknown class has a handle all the same; it has no instances.
corvina::host_api::class_handle player_api::find_class(const corvina::guid& cls) {
    for (std::size_t i = 0; i < class_count_; ++i) {
        if (*classes_[i].id == cls) {
            return &classes_[i];
        }
    }
    return this;
}

bool player_api::create_instance(corvina::service_base*& out, class_handle cls, std::size_t index) {
    service_class* found = entry(cls);
    if (found == nullptr || index >= found->count) {
        return false;
    }
    corvina::service_base* service = found->services[index];
    service->service_add_ref();
    if (out != nullptr) {
        out->service_release();
    }
    out = service;
    return true;
}

std::size_t player_api::instance_count(class_handle cls) {
    service_class* found = entry(cls);
    return found == nullptr ? 0 : found->count;
}

bool player_api::is_main_thread() {
    return GetCurrentThreadId() == main_thread_;
}

void console_service::print(const char* printed, std::size_t length) {
    text& kept_line = lines_[line_count_++ % kept];
    kept_line.set_string(printed, length);
    text echo("    console: ");
    echo << kept_line.get_ptr();
    print_line(echo.get_ptr());
}

bool console_service::printed_since(std::uint32_t first, const char* wanted) const {
    for (std::uint32_t number = first; number < line_count_; ++number) {
        if (number + kept >= line_count_ && same_text(line(number), wanted)) {
            return true;
        }
    }
    return false;
}

menu_provider::menu_provider(const corvina::guid* commands, std::uint32_t count)
    : hosted_service(corvina::class_guids::menu_commands), commands_(commands), count_(count) {
    for (menu_provider*& slot : providers) {
        if (slot == nullptr) {
            slot = this;
            break;
        }
    }
}

menu_provider::~menu_provider() {
    for (menu_provider*& slot : providers) {
        if (slot == this) {
            slot = nullptr;
        }
    }
}

corvina::guid* menu_provider::get_command(corvina::guid* out, std::uint32_t index) {
    if (!is_provider(this) || is_provider(out)) {
        report_fault("menu commands slot 4 was called with this and out swapped");
        return out;
    }
    if (index >= count_) {
        report_fault("menu commands slot 4 was asked for a command it does not have");
        *out = corvina::guid{};
        return out;
    }
    *out = commands_[index];
    return out;
}

void menu_provider::execute(std::uint32_t index, corvina::service_base* callback) {
    ++executions_;
    executed_index_ = index;
    callback_was_empty_ = callback == nullptr;
}

}  // namespace conformance
