#include "host/remote_config_page.h"

#include <cstddef>
#include <cstdint>

#include "host/host_services.h"
#include "host/preferences_dialog.h"
#include "support/boundary.h"

namespace tessel {

namespace {

void append_hex(corvina::string_base& out, std::uint32_t value, int digits) {
    static constexpr char hex[] = "0123456789ABCDEF";
    char text[8];
    for (int i = digits - 1; i >= 0; --i) {
        text[i] = hex[value & 0xF];
        value >>= 4;
    }
    out.add_string(text, static_cast<std::size_t>(digits));
}

}  // namespace

void append_guid_text(corvina::string_base& out, const corvina::guid& id) {
    append_hex(out, id.data1, 8);
    out.add_string("-");
    append_hex(out, id.data2, 4);
    out.add_string("-");
    append_hex(out, id.data3, 4);
    out.add_string("-");
    append_hex(out, id.data4[0], 2);
    append_hex(out, id.data4[1], 2);
    out.add_string("-");
    for (int i = 2; i < 8; ++i) {
        append_hex(out, id.data4[i], 2);
    }
}

corvina::window_handle remote_config_page::create(corvina::window_handle parent) {
    return guard_boundary([&] { return create_preferences_dialog(parent); },
                          corvina::window_handle{});
}

// False, with out untouched and one error line, when the player has no version service.
bool remote_config_page::get_help_url(corvina::string_base& out) {
    return guard_boundary(
        [&] {
            const char* version = host_version_text();
            out.set_string(help_site);
            out.add_string(version);
            out.add_string("/preferences/");
            append_guid_text(out, page_guid);
            out.add_string("/");
            out.add_string(page_name);
            return true;
        },
        false);
}

}  // namespace tessel
