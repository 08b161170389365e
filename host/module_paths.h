#pragma once
// The two paths the player tells the component through its entry object. The second is the
// component's own file name, which the version record reports; the first is kept but unused.

#include "support/string8.h"

namespace tessel {

struct module_paths {
    string8 path_a;
    string8 component_file;  // empty until the player sets it
};

module_paths& component_paths();

}  // namespace tessel
