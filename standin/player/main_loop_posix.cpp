// On POSIX the main thread pumps the headless window system.

#include "corvina/posix_windows.h"
#include "standin/player/main_loop.h"

namespace standin {
namespace {

namespace pw = corvina::posix_windows;

constexpr const char* main_window_class = "corvina_standin_main";

}  // namespace

struct main_loop::platform {
    platform() {
        pw::register_class(main_window_class, pw::default_procedure);  // once per process
        create();
    }
    void create() { window = pw::create_window(main_window_class, "corvina", nullptr, nullptr); }
    ~platform() { destroy(); }
    void destroy() {
        if (window != nullptr) {
            pw::destroy_window(window);
            window = nullptr;
        }
    }
    platform(const platform&) = delete;
    platform& operator=(const platform&) = delete;

    corvina::window_handle window = nullptr;
};

main_loop::main_loop()
    : main_thread_(std::this_thread::get_id()), platform_(std::make_unique<platform>()) {}

main_loop::~main_loop() = default;

corvina::window_handle main_loop::main_window() const {
    return platform_->window;
}

void main_loop::destroy_main_window() {
    platform_->destroy();
}

void main_loop::remake_main_window() {
    platform_->destroy();
    platform_->create();
}

std::optional<std::size_t> main_loop::message_only_windows() const {
    return std::nullopt;  // the headless window system has no such kind
}

void main_loop::serve(unsigned timeout_ms) {
    pw::pump_wait(timeout_ms);
}

void main_loop::wake() {
    pw::wake(main_thread_);
}

}  // namespace standin
