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

}  // namespace tessel::test
