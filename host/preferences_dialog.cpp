#include "host/preferences_dialog.h"

namespace tessel {

// No page window in this build yet: the player shows an empty page.
corvina::window_handle create_preferences_dialog(corvina::window_handle /*parent*/) {
    return nullptr;
}

}  // namespace tessel
