#include "corvina/posix_windows.h"
#include "tests/preferences/page_fixture.h"

namespace tessel::test {

namespace {

constexpr const char* parent_class = "preferences test parent";

}  // namespace

parent_window::parent_window() {
    corvina::posix_windows::register_class(parent_class, corvina::posix_windows::default_procedure);
    handle_ = corvina::posix_windows::create_window(parent_class, "Preferences", nullptr, nullptr);
}

parent_window::~parent_window() {
    corvina::posix_windows::destroy_window(handle_);
}

// Without resources the headless dialog takes its layout from the page itself.
corvina::module_handle resource_module() {
    return nullptr;
}

}  // namespace tessel::test
