#pragma once
// The component's link to the player: the host API object and module handle recorded by the
// entry point, the services-available flag, and finding the player's services by class GUID.

#include <atomic>
#include <cstddef>
#include <type_traits>

#include "corvina/service.h"
#include "support/exceptions.h"
#include "support/service_ptr.h"

namespace tessel {

struct host_context {
    corvina::host_api* api = nullptr;
    corvina::module_handle instance = nullptr;
    // Set by the player once its services may be used; read by any thread that logs.
    std::atomic<bool> services_available{false};
};

host_context& host();

// The one service of a class. Throws exception_service_not_found when there is none,
// exception_service_duplicated when there are several, exception_bug_check when the player
// counted one but could not create it.
service_ptr<corvina::service_base> get_single_service_base(const corvina::guid& cls);

template <class T>
service_ptr<T> get_single_service(const corvina::guid& cls) {
    service_ptr<corvina::service_base> base = get_single_service_base(cls);
    return service_ptr<T>(static_cast<T*>(base.get()));
}

// Calls visit(T&) for every service of a class, one at a time, each released before the next
// is created. A visitor that returns bool ends the enumeration early by returning false. Does
// nothing while no host API object was recorded.
template <class T, class Visit>
void for_each_service(const corvina::guid& cls, Visit&& visit) {
    corvina::host_api* api = host().api;
    if (api == nullptr) {
        return;
    }
    const corvina::host_api::class_handle handle = api->find_class(cls);
    for (std::size_t index = 0;; ++index) {
        service_ptr<corvina::service_base> instance;
        if (!api->create_instance(instance.receive(), handle, index) || !instance) {
            return;
        }
        T& service = *static_cast<T*>(instance.get());
        if constexpr (std::is_same_v<std::invoke_result_t<Visit&, T&>, bool>) {
            if (!visit(service)) {
                return;
            }
        } else {
            visit(service);
        }
    }
}

// The player's main window; null without a host.
corvina::window_handle host_main_window();

// True on the player's main thread, and always while services are not available.
bool host_is_main_thread();

}  // namespace tessel
