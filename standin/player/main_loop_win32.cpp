// On Windows the main thread runs a real message loop around a hidden main window; the
// component's window is created as its child.

#include <windows.h>

#include "standin/player/main_loop.h"

namespace standin {
namespace {

constexpr const wchar_t* main_window_class = L"corvina_standin_main";

}  // namespace

struct main_loop::platform {
    platform() : thread_id(GetCurrentThreadId()) {
        WNDCLASSW cls{};
        cls.lpfnWndProc = DefWindowProcW;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.lpszClassName = main_window_class;
        RegisterClassW(&cls);  // fails harmlessly when it is registered already
        create();
    }
    void create() {
        window = CreateWindowExW(0, main_window_class, L"corvina", WS_OVERLAPPEDWINDOW,
                                 CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);  // never shown
    }
    ~platform() { destroy(); }
    void destroy() {
        if (window != nullptr) {
            DestroyWindow(window);
            window = nullptr;
        }
    }
    platform(const platform&) = delete;
    platform& operator=(const platform&) = delete;

    DWORD thread_id;
    HWND window = nullptr;
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
    std::size_t count = 0;
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window != nullptr;
         window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) {
        if (GetWindowThreadProcessId(window, nullptr) == platform_->thread_id) {
            ++count;
        }
    }
    return count;
}

void main_loop::serve(unsigned timeout_ms) {
    MsgWaitForMultipleObjectsEx(0, nullptr, timeout_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            request_stop("quit message");
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void main_loop::wake() {
    PostThreadMessageW(platform_->thread_id, WM_NULL, 0, 0);
}

}  // namespace standin
