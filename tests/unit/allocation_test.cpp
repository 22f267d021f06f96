// The poll cycle runs every 10 ms for the life of the process and must never touch the heap.
// This test binary replaces the global allocation functions with counting ones; they count
// only while a cycle under test runs, so every other test in the binary is unaffected.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "bridge/bridge.h"
#include "tests/unit/cycle_world.h"

namespace {

std::atomic<bool> g_counting{false};
std::atomic<unsigned> g_allocations{0};

void* CountedAllocation(std::size_t size, std::size_t alignment = 0) {
    if (g_counting.load(std::memory_order_relaxed)) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    }
    if (size == 0) size = 1;
    void* memory = alignment == 0 ? std::malloc(size)
                                  : std::aligned_alloc(
                                        alignment, (size + alignment - 1) / alignment * alignment);
    return memory;
}

}  // namespace

void* operator new(std::size_t size) {
    if (void* memory = CountedAllocation(size)) return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* memory = CountedAllocation(size)) return memory;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    if (void* memory = CountedAllocation(size, static_cast<std::size_t>(alignment))) return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    if (void* memory = CountedAllocation(size, static_cast<std::size_t>(alignment))) return memory;
    throw std::bad_alloc();
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

namespace {

// Runs one cycle with the counters on; what the test does around it is not counted.
LinkResult CountedCycle() {
    g_counting.store(true);
    const LinkResult result = RunCycle();
    g_counting.store(false);
    return result;
}

class CycleAllocationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(cycle_world::Open());
        g_allocations.store(0);
    }
};

TEST_F(CycleAllocationTest, CountingSeesAnAllocation) {
    g_counting.store(true);
    void* probe = ::operator new(16);
    g_counting.store(false);
    ::operator delete(probe);
    EXPECT_EQ(g_allocations.load(), 1u);
}

TEST_F(CycleAllocationTest, QuietCyclesAllocateNothing) {
    for (int cycle = 0; cycle < 500; ++cycle) ASSERT_EQ(CountedCycle(), LINK_OK);
    EXPECT_EQ(g_allocations.load(), 0u);
}

TEST_F(CycleAllocationTest, BusyCyclesAllocateNothing) {
    const auto state = fake::BlockBytes(cycle_world::kStateBlock);
    std::uint32_t noise = 0x2545F491;
    for (int cycle = 0; cycle < 500; ++cycle) {
        // The whole state block changes, so every display, flag and value is exported anew;
        // a code is posted and every counter turned.
        for (std::uint8_t& byte : state) {
            noise = noise * 1664525u + 1013904223u;
            byte = static_cast<std::uint8_t>(noise >> 24);
        }
        cycle_world::PostCode(static_cast<std::int16_t>(cycle));
        for (std::size_t k = 0; k < kEncoderCount; ++k) {
            cycle_world::SetCounter(k, static_cast<std::uint8_t>(cycle * (k + 1)));
        }
        ASSERT_EQ(CountedCycle(), LINK_OK);
    }
    EXPECT_EQ(g_allocations.load(), 0u);
}

}  // namespace
