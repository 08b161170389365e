#pragma once
// The component's record in the player's component list: file name, name, version, about text.

#include "host/service_framework.h"

namespace tessel {

class componentversion_impl_simple final
    : public single_instance_service<corvina::componentversion> {
  public:
    // The texts must outlive the object (string literals).
    componentversion_impl_simple(const char* name, const char* version, const char* about)
        : name_(name), version_(version), about_(about) {}

    void get_file_name(corvina::string_base& out) override;
    void get_component_name(corvina::string_base& out) override;
    void get_component_version(corvina::string_base& out) override;
    void get_about_message(corvina::string_base& out) override;

  private:
    const char* name_;
    const char* version_;
    const char* about_;
};

class componentversion_impl_simple_factory final
    : public service_factory_single_t<componentversion_impl_simple> {
  public:
    componentversion_impl_simple_factory(const char* name, const char* version, const char* about)
        : service_factory_single_t(name, version, about) {}
};

}  // namespace tessel
