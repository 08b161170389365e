#pragma once
// The object the entry point hands the player: interface version, the factory chain, the
// configuration blob, the module's paths and the services-available flag. Like every
// operation the player calls, none lets an exception out (support/boundary.h).

#include "corvina/service.h"

namespace tessel {

class component_entry_impl final : public corvina::component_entry {
  public:
    std::uint32_t interface_version() override;
    corvina::service_factory_base* first_factory() override;
    void save_configuration(corvina::config_writer& out, corvina::abort_signal& abort) override;
    void load_configuration(corvina::config_reader& in, corvina::abort_signal& abort) override;
    void set_paths(const char* path_a, const char* component_file) override;
    void set_services_available(bool available) override;
    bool reserved_flag() override;
};

// The module's one entry object.
corvina::component_entry& component_entry_object();

}  // namespace tessel
