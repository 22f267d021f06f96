// The poll cycle runs every 10 ms for the life of the process and must never touch the heap.
// The test program's allocation functions count only while a cycle under test runs, so every
// other test in it is unaffected.
#include <gtest/gtest.h>

#include <cstdint>

#include "bridge/bridge.h"
#include "tests/allocation_counter/allocation_counter.h"
#include "tests/unit/cycle_world.h"

namespace {

// Runs one cycle with the counters on; what the test does around it is not counted.
LinkResult CountedCycle() {
    allocation_counter::Start();
    const LinkResult result = RunCycle();
    allocation_counter::Stop();
    return result;
}

class CycleAllocationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(cycle_world::Open());
        allocation_counter::Reset();
    }
};

TEST_F(CycleAllocationTest, CountingSeesAnAllocation) {
    allocation_counter::Start();
    void* probe = ::operator new(16);
    allocation_counter::Stop();
    ::operator delete(probe);
    EXPECT_EQ(allocation_counter::Count(), 1u);
}

TEST_F(CycleAllocationTest, QuietCyclesAllocateNothing) {
    for (int cycle = 0; cycle < 500; ++cycle) ASSERT_EQ(CountedCycle(), LINK_OK);
    EXPECT_EQ(allocation_counter::Count(), 0u);
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
    EXPECT_EQ(allocation_counter::Count(), 0u);
}

}  // namespace
