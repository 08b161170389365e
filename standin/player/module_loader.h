#pragma once
// A component module loaded into the player: dlopen on POSIX, LoadLibraryW on Windows.

#include <memory>
#include <string>

#include "corvina/platform_types.h"

namespace standin {

class loaded_module {
  public:
    // Throws std::runtime_error naming the path and the system's reason when loading fails.
    explicit loaded_module(const std::string& path);
    ~loaded_module();  // unloads
    loaded_module(const loaded_module&) = delete;
    loaded_module& operator=(const loaded_module&) = delete;

    // An exported function or object; null when the module has none of that name.
    void* find_symbol(const char* name) const;

    // What the module's entry point is handed as its instance.
    corvina::module_handle handle() const { return handle_; }

  private:
    corvina::module_handle handle_ = nullptr;
};

// The default place of the component module: beside the running program.
std::string default_component_path();

}  // namespace standin
