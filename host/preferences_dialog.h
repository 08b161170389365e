#pragma once
// The window of the component's preferences page.

#include "corvina/platform_types.h"

namespace tessel {

// Creates the page as a modeless child of parent; null when it could not be created.
corvina::window_handle create_preferences_dialog(corvina::window_handle parent);

}  // namespace tessel
