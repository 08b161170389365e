#include "host/host_services.h"

#include <cstdint>

#include "corvina/class_guids.h"
#include "corvina/services.h"
#include "support/host_access.h"

namespace tessel {

bool run_main_menu_command(const corvina::guid& command) {
    bool found = false;
    for_each_service<corvina::menu_commands>(
        corvina::class_guids::menu_commands, [&](corvina::menu_commands& provider) {
            const std::uint32_t count = provider.get_command_count();
            for (std::uint32_t index = 0; index < count; ++index) {
                if (provider.command_guid(index) == command) {
                    provider.execute(index, nullptr);
                    found = true;
                    return false;
                }
            }
            return true;
        });
    return found;
}

const char* host_version_text() {
    const service_ptr<corvina::version_info> info =
        get_single_service<corvina::version_info>(corvina::class_guids::version_info);
    return info->get_version_string();
}

}  // namespace tessel
