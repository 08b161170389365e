#pragma once
// The procedure of the preferences page: fills the controls from the settings when the page
// opens, and stores each change in the settings at once.

#include <cstdint>

#include "corvina/dialogs.h"
#include "corvina/platform_types.h"

namespace tessel {

// A dialog procedure; it returns FALSE for every message. No exception leaves it.
std::intptr_t CORVINA_CALLBACK preferences_page_procedure(corvina::window_handle dialog,
                                                          std::uint32_t message,
                                                          std::uintptr_t wparam,
                                                          std::intptr_t lparam);

}  // namespace tessel
