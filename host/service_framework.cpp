#include "host/service_framework.h"

namespace tessel {

namespace {
// Constant-initialised, so it is empty before any factory's constructor runs.
constinit corvina::service_factory_base* chain_head = nullptr;
}  // namespace

corvina::service_factory_base*& factory_chain_head() {
    return chain_head;
}

}  // namespace tessel
