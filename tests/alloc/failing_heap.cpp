#include "tests/alloc/failing_heap.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>

namespace tessel::test::failing_heap {

namespace {

std::atomic<bool> armed{false};
std::atomic<std::size_t> counted{0};
std::atomic<std::size_t> failing{0};
std::atomic<bool> failed{false};

// Counts one allocation; true when it is the one to fail.
bool take_fails() {
    if (!armed.load(std::memory_order_acquire)) {
        return false;
    }
    const std::size_t number = counted.fetch_add(1) + 1;
    if (number != failing.load()) {
        return false;
    }
    failed.store(true);
    return true;
}

}  // namespace

void arm(std::size_t fail_at) {
    counted.store(0);
    failed.store(false);
    failing.store(fail_at);
    armed.store(true, std::memory_order_release);
}

void disarm() {
    armed.store(false, std::memory_order_release);
}

std::size_t count() {
    return counted.load();
}

bool has_failed() {
    return failed.load();
}

}  // namespace tessel::test::failing_heap

namespace heap = tessel::test::failing_heap;
using heap::take_fails;

// The wrappers the module's references are bound to. Each passes the call on to the real
// function unless it is the one to fail.
extern "C" {
void* __wrap_malloc(std::size_t size);
void* __wrap_calloc(std::size_t count, std::size_t size);
void* __wrap_realloc(void* block, std::size_t size);
void* __wrap_aligned_alloc(std::size_t alignment, std::size_t size);
int __wrap_posix_memalign(void** out, std::size_t alignment, std::size_t size);
void* __wrap__Znwm(std::size_t size);
void* __wrap__Znam(std::size_t size);
void* __wrap__ZnwmRKSt9nothrow_t(std::size_t size, const std::nothrow_t&) noexcept;
void* __wrap__ZnamRKSt9nothrow_t(std::size_t size, const std::nothrow_t&) noexcept;
void* __wrap__ZnwmSt11align_val_t(std::size_t size, std::align_val_t alignment);
void* __wrap__ZnamSt11align_val_t(std::size_t size, std::align_val_t alignment);
void* __wrap__ZnwmSt11align_val_tRKSt9nothrow_t(std::size_t size, std::align_val_t alignment,
                                                const std::nothrow_t&) noexcept;
void* __wrap__ZnamSt11align_val_tRKSt9nothrow_t(std::size_t size, std::align_val_t alignment,
                                                const std::nothrow_t&) noexcept;
}

namespace {

void* null_with_enomem() {
    errno = ENOMEM;
    return nullptr;
}

}  // namespace

extern "C" {

void* __wrap_malloc(std::size_t size) {
    return take_fails() ? null_with_enomem() : std::malloc(size);
}

void* __wrap_calloc(std::size_t count, std::size_t size) {
    return take_fails() ? null_with_enomem() : std::calloc(count, size);
}

void* __wrap_realloc(void* block, std::size_t size) {
    return take_fails() ? null_with_enomem() : std::realloc(block, size);
}

void* __wrap_aligned_alloc(std::size_t alignment, std::size_t size) {
    return take_fails() ? null_with_enomem() : std::aligned_alloc(alignment, size);
}

int __wrap_posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    return take_fails() ? ENOMEM : posix_memalign(out, alignment, size);
}

void* __wrap__Znwm(std::size_t size) {
    if (take_fails()) {
        throw std::bad_alloc();
    }
    return ::operator new(size);
}

void* __wrap__Znam(std::size_t size) {
    if (take_fails()) {
        throw std::bad_alloc();
    }
    return ::operator new[](size);
}

void* __wrap__ZnwmRKSt9nothrow_t(std::size_t size, const std::nothrow_t& tag) noexcept {
    return take_fails() ? nullptr : ::operator new(size, tag);
}

void* __wrap__ZnamRKSt9nothrow_t(std::size_t size, const std::nothrow_t& tag) noexcept {
    return take_fails() ? nullptr : ::operator new[](size, tag);
}

void* __wrap__ZnwmSt11align_val_t(std::size_t size, std::align_val_t alignment) {
    if (take_fails()) {
        throw std::bad_alloc();
    }
    return ::operator new(size, alignment);
}

void* __wrap__ZnamSt11align_val_t(std::size_t size, std::align_val_t alignment) {
    if (take_fails()) {
        throw std::bad_alloc();
    }
    return ::operator new[](size, alignment);
}

void* __wrap__ZnwmSt11align_val_tRKSt9nothrow_t(std::size_t size, std::align_val_t alignment,
                                                const std::nothrow_t& tag) noexcept {
    return take_fails() ? nullptr : ::operator new(size, alignment, tag);
}

void* __wrap__ZnamSt11align_val_tRKSt9nothrow_t(std::size_t size, std::align_val_t alignment,
                                                const std::nothrow_t& tag) noexcept {
    return take_fails() ? nullptr : ::operator new[](size, alignment, tag);
}

}  // extern "C"
