#pragma once
// A shared library loaded at run time, unloaded when the object ends.

#include <string>

namespace tessel::test {

class loaded_module {
  public:
    // Loads the module; throws std::runtime_error with the system's reason when it cannot.
    explicit loaded_module(const std::string& path);
    loaded_module(const loaded_module&) = delete;
    loaded_module& operator=(const loaded_module&) = delete;
    ~loaded_module();

    // The exported symbol of exactly this name, or null.
    void* symbol(const char* name) const;

    // Whether the module at path is loaded in this process now, by anyone.
    static bool is_loaded(const std::string& path);

  private:
    void* handle_;
};

}  // namespace tessel::test
