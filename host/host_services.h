#pragma once
// Player facilities the component uses beyond the service lookups of support/host_access.h.
// Each looks its services up when called and releases them before returning.

#include "corvina/guid.h"

namespace tessel {

// Runs the first main-menu command with this GUID among all menu-command providers. False,
// with nothing run, when no provider has it.
bool run_main_menu_command(const corvina::guid& command);

// The player's version text (owned by the player). Throws the lookup exceptions of
// get_single_service.
const char* host_version_text();

}  // namespace tessel
