#include <dlfcn.h>

#include <stdexcept>

#include "loaded_module.h"

namespace tessel::test {

loaded_module::loaded_module(const std::string& path)
    : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        throw std::runtime_error(path + ": " + (reason != nullptr ? reason : "cannot load"));
    }
}

loaded_module::~loaded_module() {
    dlclose(handle_);
}

void* loaded_module::symbol(const char* name) const {
    return dlsym(handle_, name);
}

bool loaded_module::is_loaded(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) {
        return false;
    }
    dlclose(handle);
    return true;
}

}  // namespace tessel::test
