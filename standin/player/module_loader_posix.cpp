#include <dlfcn.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

#include "standin/player/module_loader.h"

namespace standin {

loaded_module::loaded_module(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        throw std::runtime_error("cannot load the component " + path + ": " +
                                 (reason != nullptr ? reason : "unknown reason"));
    }
}

loaded_module::~loaded_module() {
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

void* loaded_module::find_symbol(const char* name) const {
    return dlsym(handle_, name);
}

std::string default_component_path() {
    std::vector<char> buffer(4096);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    std::string folder = ".";
    if (length > 0) {
        std::string exe(buffer.data(), static_cast<std::size_t>(length));
        const std::size_t slash = exe.find_last_of('/');
        if (slash != std::string::npos) {
            folder = exe.substr(0, slash);
        }
    }
    return folder + "/libtessel_link.so";
}

}  // namespace standin
