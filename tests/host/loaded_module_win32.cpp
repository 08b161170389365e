#include <windows.h>

#include <stdexcept>

#include "loaded_module.h"

namespace tessel::test {

loaded_module::loaded_module(const std::string& path) : handle_(LoadLibraryA(path.c_str())) {
    if (handle_ == nullptr) {
        throw std::runtime_error(path + ": LoadLibrary failed with error " +
                                 std::to_string(GetLastError()));
    }
}

loaded_module::~loaded_module() {
    FreeLibrary(static_cast<HMODULE>(handle_));
}

void* loaded_module::symbol(const char* name) const {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

bool loaded_module::is_loaded(const std::string& path) {
    return GetModuleHandleA(path.c_str()) != nullptr;
}

}  // namespace tessel::test
