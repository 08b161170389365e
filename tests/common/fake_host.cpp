#include "tests/common/fake_host.h"

#include <cstring>

#include "support/host_access.h"

namespace tessel::test {

void recording_console::print(const char* text, std::size_t length) {
    std::string line;
    if (text != nullptr) {
        line = length == corvina::whole_text ? std::string(text) : std::string(text, length);
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(std::move(line));
}

std::vector<std::string> recording_console::lines() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

void recording_console::clear() {
    const std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
}

bool fake_host::guid_less::operator()(const corvina::guid& a, const corvina::guid& b) const {
    return std::memcmp(&a, &b, sizeof(corvina::guid)) < 0;
}

fake_host::fake_host() : building_thread_(std::this_thread::get_id()) {}

void fake_host::add_service(const corvina::guid& cls, corvina::service_base& service) {
    classes_[cls].push_back(&service);
}

void fake_host::add_uncreatable_service(const corvina::guid& cls) {
    classes_[cls].push_back(nullptr);
}

int fake_host::outstanding_references() const {
    int total = 0;
    for (const auto& entry : classes_) {
        for (corvina::service_base* service : entry.second) {
            if (service != nullptr) {
                // Every fake registers with a count of zero: add one and release it to read it.
                total += service->service_add_ref() - 1;
                service->service_release();
            }
        }
    }
    return total;
}

corvina::host_api::class_handle fake_host::find_class(const corvina::guid& cls) {
    const auto found = classes_.find(cls);
    return found == classes_.end() ? &no_implementations_ : &found->second;
}

bool fake_host::create_instance(corvina::service_base*& out, class_handle cls, std::size_t index) {
    const auto* list = static_cast<const implementations*>(cls);
    if (list == nullptr || index >= list->size() || (*list)[index] == nullptr) {
        return false;
    }
    corvina::service_base* created = (*list)[index];
    created->service_add_ref();
    if (out != nullptr) {
        out->service_release();
    }
    out = created;
    return true;
}

std::size_t fake_host::instance_count(class_handle cls) {
    const auto* list = static_cast<const implementations*>(cls);
    return list == nullptr ? 0 : list->size();
}

bool fake_host::is_main_thread() {
    const int answer = main_thread_answer_.load();
    if (answer >= 0) {
        return answer == 1;
    }
    return std::this_thread::get_id() == building_thread_;
}

host_guard::host_guard(corvina::host_api& api, bool services_available)
    : previous_api_(host().api), previous_available_(host().services_available.load()) {
    host().api = &api;
    host().services_available.store(services_available);
}

host_guard::~host_guard() {
    host().services_available.store(previous_available_);
    host().api = previous_api_;
}

}  // namespace tessel::test
