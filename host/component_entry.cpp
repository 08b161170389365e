#include "host/component_entry.h"

#include "host/cfg_var.h"
#include "host/module_paths.h"
#include "host/service_framework.h"
#include "support/boundary.h"
#include "support/host_access.h"

namespace tessel {

std::uint32_t component_entry_impl::interface_version() {
    return corvina::component_interface_version;
}

corvina::service_factory_base* component_entry_impl::first_factory() {
    return factory_chain_head();
}

void component_entry_impl::save_configuration(corvina::config_writer& out,
                                              corvina::abort_signal& abort) {
    guard_boundary([&] { cfg_save_all(out, abort); });
}

void component_entry_impl::load_configuration(corvina::config_reader& in,
                                              corvina::abort_signal& abort) {
    guard_boundary([&] { cfg_load_all(in, abort); });
}

void component_entry_impl::set_paths(const char* path_a, const char* component_file) {
    // Copying the paths allocates.
    guard_boundary([&] {
        module_paths& paths = component_paths();
        paths.path_a.set_string(path_a);
        paths.component_file.set_string(component_file);
    });
}

void component_entry_impl::set_services_available(bool available) {
    host().services_available.store(available);
}

bool component_entry_impl::reserved_flag() {
    return false;
}

}  // namespace tessel
