#include "host/preferences_dialog.h"

#include "host/page_dialog.h"

namespace tessel {

corvina::window_handle create_preferences_dialog(corvina::window_handle parent) {
    return page_dialog::create(parent);
}

}  // namespace tessel
