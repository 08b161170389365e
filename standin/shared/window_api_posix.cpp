// uCreateWindowEx over the headless window system. Styles, position, size, menu and instance
// have no meaning without a screen and are ignored.

#include "corvina/posix_windows.h"
#include "corvina/shared.h"

corvina::window_handle uCreateWindowEx(std::uint32_t /*ex_style*/, const char* class_name,
                                       const char* window_name, std::uint32_t /*style*/, int /*x*/,
                                       int /*y*/, int /*width*/, int /*height*/,
                                       corvina::window_handle parent, void* /*menu*/,
                                       corvina::module_handle /*instance*/, void* param) {
    return corvina::posix_windows::create_window(class_name, window_name, parent, param);
}
