// Global allocation functions that count while switched on and otherwise behave as usual.
#include "tests/allocation_counter/allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> g_counting{false};
std::atomic<std::uint64_t> g_allocations{0};

void* CountedAllocation(std::size_t size, std::size_t alignment = 0) {
    if (g_counting.load(std::memory_order_relaxed)) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    }
    if (size == 0) size = 1;
    if (alignment == 0) return std::malloc(size);
    return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
}

void* CountedOrThrow(std::size_t size, std::size_t alignment = 0) {
    if (void* memory = CountedAllocation(size, alignment)) return memory;
    throw std::bad_alloc();
}

}  // namespace

namespace allocation_counter {

void Start() {
    g_counting.store(true);
}
void Stop() {
    g_counting.store(false);
}
void Reset() {
    g_allocations.store(0);
}
std::uint64_t Count() {
    return g_allocations.load();
}

}  // namespace allocation_counter

void* operator new(std::size_t size) {
    return CountedOrThrow(size);
}
void* operator new[](std::size_t size) {
    return CountedOrThrow(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return CountedOrThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return CountedOrThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return CountedAllocation(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return CountedAllocation(size);
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}
