#include "tests/faults/failing_new.h"

#include <cstdlib>
#include <new>

namespace tessel::test::failing_new {

namespace {

thread_local std::size_t fail_at_ = 0;
thread_local std::size_t counted_ = 0;
thread_local bool failed_ = false;

}  // namespace

// Counts one allocation of this thread; true when it is the one to fail.
bool takes_failure() {
    if (fail_at_ == 0 || ++counted_ != fail_at_) {
        return false;
    }
    failed_ = true;
    return true;
}

void arm(std::size_t fail_at) {
    fail_at_ = fail_at;
    counted_ = 0;
    failed_ = false;
}

void disarm() {
    fail_at_ = 0;
}

bool has_failed() {
    return failed_;
}

}  // namespace tessel::test::failing_new

namespace heap = tessel::test::failing_new;

void* operator new(std::size_t size) {
    if (heap::takes_failure()) {
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete[](void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}
