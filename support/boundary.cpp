#include "support/boundary.h"

#include <exception>

#include "support/log.h"

namespace tessel {

void log_current_exception() noexcept {
    try {
        throw;
    } catch (const std::exception& failure) {
        log_error(failure.what());
    } catch (...) {
        log_error("Bug check");
    }
}

}  // namespace tessel
