// The one symbol the player looks up in the component module.

#include "corvina/service.h"
#include "host/component_entry.h"
#include "support/host_access.h"

CORVINA_EXPORT corvina::component_entry* corvina_get_interface(corvina::host_api* api,
                                                               corvina::module_handle instance);

// Records the player's API object and this module's handle, overwriting earlier ones, and hands
// back the entry object. The player may call it more than once.
CORVINA_EXPORT corvina::component_entry* corvina_get_interface(corvina::host_api* api,
                                                               corvina::module_handle instance) {
    tessel::host().api = api;
    tessel::host().instance = instance;
    return &tessel::component_entry_object();
}
