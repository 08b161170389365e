// The malloc family of this program, in front of the C library's own: each call is passed on
// and the usable size of every block is counted while it lives.

#include "bench/heap_counter.h"

#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* block);
}

namespace {

std::atomic<std::size_t> in_use{0};
std::atomic<std::size_t> peak{0};

void* counted(void* block) {
    if (block != nullptr) {
        const std::size_t now =
            in_use.fetch_add(malloc_usable_size(block), std::memory_order_relaxed) +
            malloc_usable_size(block);
        std::size_t high = peak.load(std::memory_order_relaxed);
        while (now > high && !peak.compare_exchange_weak(high, now, std::memory_order_relaxed)) {
        }
    }
    return block;
}

void uncount(void* block) {
    if (block != nullptr) {
        in_use.fetch_sub(malloc_usable_size(block), std::memory_order_relaxed);
    }
}

}  // namespace

extern "C" {

void* malloc(std::size_t size) noexcept {
    return counted(__libc_malloc(size));
}

void* calloc(std::size_t count, std::size_t size) noexcept {
    return counted(__libc_calloc(count, size));
}

void* realloc(void* block, std::size_t size) noexcept {
    const std::size_t old_size = block != nullptr ? malloc_usable_size(block) : 0;
    void* moved = __libc_realloc(block, size);
    if (moved == nullptr && size != 0) {
        return nullptr;  // the old block stays, and stays counted
    }
    in_use.fetch_sub(old_size, std::memory_order_relaxed);
    return counted(moved);
}

void free(void* block) noexcept {
    uncount(block);
    __libc_free(block);
}

void* memalign(std::size_t alignment, std::size_t size) noexcept {
    return counted(__libc_memalign(alignment, size));
}

void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
    return counted(__libc_memalign(alignment, size));
}

int posix_memalign(void** out, std::size_t alignment, std::size_t size) noexcept {
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) {
        return EINVAL;
    }
    void* block = counted(__libc_memalign(alignment, size));
    if (block == nullptr) {
        return ENOMEM;
    }
    *out = block;
    return 0;
}

}  // extern "C"

namespace tessel::bench {

std::size_t heap_in_use() {
    return in_use.load();
}

std::size_t heap_peak() {
    return peak.load();
}

void reset_heap_peak() {
    peak.store(in_use.load());
}

}  // namespace tessel::bench
