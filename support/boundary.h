#pragma once
// The edge of every operation the player calls on the component. No C++ exception crosses the
// module boundary: the player is built by another compiler, whose unwinding skips our frames'
// destructors or ends the process. A failure becomes one console error line and the
// operation's fallback answer.

#include <type_traits>

namespace tessel {

// Logs the exception being handled as "ERROR : " and its text ("Bug check" when it has none).
void log_current_exception() noexcept;

template <class Operation>
void guard_boundary(Operation&& operation) noexcept {
    try {
        operation();
    } catch (...) {
        log_current_exception();
    }
}

template <class Operation, class Result>
Result guard_boundary(Operation&& operation, Result fallback) noexcept {
    static_assert(std::is_nothrow_copy_constructible_v<Result>);
    try {
        return operation();
    } catch (...) {
        log_current_exception();
        return fallback;
    }
}

}  // namespace tessel
