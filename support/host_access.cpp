#include "support/host_access.h"

namespace tessel {

host_context& host() {
    static host_context context;
    return context;
}

service_ptr<corvina::service_base> get_single_service_base(const corvina::guid& cls) {
    corvina::host_api* api = host().api;
    if (api == nullptr) {
        throw exception_service_not_found();
    }
    const corvina::host_api::class_handle handle = api->find_class(cls);
    const std::size_t count = api->instance_count(handle);
    if (count == 0) {
        throw exception_service_not_found();
    }
    if (count != 1) {
        throw exception_service_duplicated();
    }
    service_ptr<corvina::service_base> instance;
    if (!api->create_instance(instance.receive(), handle, 0) || !instance) {
        throw exception_bug_check();
    }
    return instance;
}

corvina::window_handle host_main_window() {
    corvina::host_api* api = host().api;
    return api == nullptr ? nullptr : api->main_window();
}

bool host_is_main_thread() {
    corvina::host_api* api = host().api;
    if (!host().services_available.load() || api == nullptr) {
        return true;
    }
    return api->is_main_thread();
}

}  // namespace tessel
