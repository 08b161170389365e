#pragma once
// The component's page in the player's preferences window.

#include "corvina/guid.h"
#include "host/service_framework.h"

namespace tessel {

class remote_config_page final : public single_instance_service<corvina::preferences_page> {
  public:
    static constexpr const char* page_name = "Ambrel";
    static constexpr corvina::guid page_guid{
        0xB3BBE560, 0x14AE, 0x4F72, {0xB4, 0x6B, 0x37, 0x36, 0x49, 0x7F, 0xB0, 0xDA}};
    // The player's page this one is listed under.
    static constexpr corvina::guid parent_guid{
        0x627C0767, 0x0793, 0x44F8, {0x80, 0x87, 0xBE, 0x49, 0x34, 0x31, 0x12, 0x82}};
    // Base of the player's help site.
    static constexpr const char* help_site = "https://help.corvina.example/";

    corvina::window_handle create(corvina::window_handle parent) override;
    const char* get_name() override { return page_name; }
    corvina::guid* get_guid(corvina::guid* out) override {
        *out = page_guid;
        return out;
    }
    corvina::guid* get_parent_guid(corvina::guid* out) override {
        *out = parent_guid;
        return out;
    }
    bool supports_reset() override { return false; }
    void reset() override {}
    // Help site, player version, "/preferences/", page GUID, "/", page name.
    bool get_help_url(corvina::string_base& out) override;
};

// A GUID as 32 upper-case hex digits grouped 8-4-4-4-12, without braces.
void append_guid_text(corvina::string_base& out, const corvina::guid& id);

}  // namespace tessel
