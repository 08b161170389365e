#include "host/componentversion_impl_simple.h"

#include "host/module_paths.h"

namespace tessel {

// Each answer replaces the receiver's content: the player may hand in a string that already
// holds text.

void componentversion_impl_simple::get_file_name(corvina::string_base& out) {
    out.set_string(component_paths().component_file.c_str());
}

void componentversion_impl_simple::get_component_name(corvina::string_base& out) {
    out.set_string(name_);
}

void componentversion_impl_simple::get_component_version(corvina::string_base& out) {
    out.set_string(version_);
}

void componentversion_impl_simple::get_about_message(corvina::string_base& out) {
    out.set_string(about_);
}

}  // namespace tessel
