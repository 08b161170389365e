#include <windows.h>

#include <memory>
#include <system_error>
#include <utility>

#include "support/module_thread.h"

namespace tessel {

struct module_thread::native {
    HANDLE thread = nullptr;
};

namespace {

struct start {
    std::function<void()> body;
    HMODULE module;  // the reference the thread gives back when it ends; null if none
};

DWORD WINAPI run_thread(void* parameter) {
    HMODULE module = nullptr;
    {
        const std::unique_ptr<start> owned(static_cast<start*>(parameter));
        module = owned->module;
        try {
            owned->body();
        } catch (...) {
        }
    }
    // Nothing of the module may run once its reference is gone: the system gives the reference
    // back and ends the thread in one step.
    if (module != nullptr) {
        FreeLibraryAndExitThread(module, 0);
    }
    return 0;
}

// A new reference to the module that holds this code, or null when the system refuses one.
HMODULE reference_this_module() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&run_thread), &module)) {
        return nullptr;
    }
    return module;
}

}  // namespace

module_thread::module_thread(std::function<void()> body) {
    auto handle = std::make_unique<native>();
    auto owned = std::make_unique<start>(start{std::move(body), reference_this_module()});
    handle->thread = CreateThread(nullptr, 0, run_thread, owned.get(), 0, nullptr);
    if (handle->thread == nullptr) {
        const DWORD error = GetLastError();
        if (owned->module != nullptr) {
            FreeLibrary(owned->module);
        }
        throw std::system_error(static_cast<int>(error), std::system_category(),
                                "couldn't start a thread");
    }
    owned.release();  // the thread's now
    native_.reset(handle.release());
}

void module_thread::native_end::operator()(native* thread) const {
    delete thread;
}

bool module_thread::has_ended() const {
    return WaitForSingleObject(native_->thread, 0) == WAIT_OBJECT_0;
}

void module_thread::join() {
    WaitForSingleObject(native_->thread, INFINITE);
    CloseHandle(native_->thread);
    native_.reset();
}

void module_thread::let_go() {
    CloseHandle(native_->thread);
    native_.reset();
}

void module_thread::let_go_until_unload() {
    let_go();  // the thread's own module reference covers both
}

}  // namespace tessel
