// The poll cycle as a whole: what one exchange carries, which result a cycle returns, and what
// runs without the command block.
#include <gtest/gtest.h>

#include <cstdint>

#include "bridge/bridge.h"
#include "tests/unit/cycle_world.h"

namespace {

using cycle_world::kFirstCounter;
using cycle_world::kMailbox;

class PollCycleTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(cycle_world::Open()); }
};

TEST_F(PollCycleTest, QuietCycleReadsTheInputBlockInOneExchange) {
    ASSERT_EQ(RunCycle(), LINK_OK);  // the first cycle may still export start values
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        cycle_world::SetCounter(k, static_cast<std::uint8_t>(0xF0 + k));
    }
    const unsigned before = fake::ExchangesHandled();

    EXPECT_EQ(RunCycle(), LINK_OK);

    EXPECT_EQ(fake::ExchangesHandled(), before + 1);
    const auto records = fake::LastExchangeRecords();
    ASSERT_EQ(records.size(), 1 + kEncoderCount);
    EXPECT_EQ(records[0].kind, exchange::RecordKind::Read);
    EXPECT_EQ(records[0].offset, kMailbox);
    EXPECT_EQ(records[0].size, 2u);
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        EXPECT_EQ(records[1 + k].kind, exchange::RecordKind::Read);
        EXPECT_EQ(records[1 + k].offset, kFirstCounter + k);
        EXPECT_EQ(records[1 + k].size, 1u);
        // One byte into a 32-bit slot: the slot holds the counter, its upper bytes stay 0.
        EXPECT_EQ(g_bridge.encoderSlots[k], static_cast<std::int32_t>(0xF0 + k));
    }
    EXPECT_EQ(g_bridge.mailbox, -1);
}

TEST_F(PollCycleTest, FailedExchangeIsTheCyclesResultWhileLaterStepsRun) {
    ASSERT_EQ(RunCycle(), LINK_OK);
    // Encoder 6 last read as 1 from an earlier exchange; this cycle's exchange fails.
    g_bridge.encoderSlots[6] = 1;
    fake::TimeOutNextSends(9, 0);

    EXPECT_EQ(RunCycle(), LINK_TIMEOUT);

    EXPECT_EQ(cycle_world::CommandCode(), 1238);
    EXPECT_EQ(cycle_world::CommandParameter(), 500.0);
    EXPECT_EQ(g_bridge.lastSeenCounters[6], 1);

    // With another last error the same failure reads as a refused send.
    cycle_world::Open();
    ASSERT_EQ(RunCycle(), LINK_OK);
    fake::TimeOutNextSends(9, ERROR_ACCESS_DENIED);
    EXPECT_EQ(RunCycle(), LINK_SEND_FAILED);
}

// A code posted while no bridge ran is taken as posted when connecting. Its exchange may get
// through after the cycle's first one was lost, but the exports went with that one: the cycle
// fails with the first exchange's code.
TEST_F(PollCycleTest, FailedFirstExchangeIsTheResultThoughTheMailboxsGetsThrough) {
    ASSERT_NO_FATAL_FAILURE(cycle_world::Open(/*publishCommandBlock=*/true, /*mailbox=*/5));
    cycle_world::SetStateInt32(0x09C, 7);  // display 1 reads 7: a write in the lost exchange
    fake::TimeOutNextSends(9, 0);
    const unsigned before = fake::ExchangesHandled();

    EXPECT_EQ(RunCycle(), LINK_TIMEOUT);

    EXPECT_EQ(fake::ExchangesHandled(), before + 1);  // only the mailbox's exchange arrived
    EXPECT_EQ(cycle_world::CommandCode(), 5);
    EXPECT_EQ(cycle_world::ModuleMailbox(), -1);
    EXPECT_EQ(fake::ModuleSpace().bytes[0x9430], 0);

    // Both exchanges fail, each its own way: still the first one's code, not the second's.
    ASSERT_NO_FATAL_FAILURE(cycle_world::Open(/*publishCommandBlock=*/true, /*mailbox=*/5));
    fake::FailNext(fake::Call::SendMessageTimeoutA, 9, ERROR_ACCESS_DENIED);  // refused
    fake::TimeOutNextSends(9, 0);  // then the mailbox's sends go unanswered
    EXPECT_EQ(RunCycle(), LINK_SEND_FAILED);
    EXPECT_EQ(g_link.lastSendError, 0u) << "the mailbox's exchange failed after the first";
    EXPECT_EQ(g_bridge.mailbox, -1);
}

TEST_F(PollCycleTest, WithoutCommandBlockExportsRunAndInputsWait) {
    ASSERT_NO_FATAL_FAILURE(cycle_world::Open(/*publishCommandBlock=*/false));
    ASSERT_FALSE(SdkCommandViewMapped());
    cycle_world::PostCode(42);
    cycle_world::SetCounter(0, 3);
    cycle_world::SetStateInt32(0x09C, 7);  // display 1 reads 7
    const unsigned before = fake::ExchangesHandled();

    for (int cycle = 0; cycle < 2; ++cycle) EXPECT_EQ(RunCycle(), LINK_OK);

    EXPECT_EQ(fake::ExchangesHandled(), before + 2);
    const auto first = fake::ExchangeRecords(before + 1);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first[0].kind, exchange::RecordKind::Write);
    EXPECT_EQ(first[0].offset, 0x9430u);
    EXPECT_EQ(first[0].data[0], 7);
    // The code is neither forwarded nor cleared, the turn not taken as seen.
    EXPECT_EQ(g_bridge.mailbox, 42);
    EXPECT_EQ(cycle_world::ModuleMailbox(), 42);
    EXPECT_EQ(g_bridge.encoderSlots[0], 3);
    EXPECT_EQ(g_bridge.lastSeenCounters[0], 0);
}

TEST_F(PollCycleTest, WithoutStateViewNothingIsExchanged) {
    SdkClose();
    g_bridge.mailbox = -1;
    const unsigned before = fake::ExchangesHandled();

    EXPECT_EQ(RunCycle(), LINK_OK);

    EXPECT_EQ(fake::ExchangesHandled(), before);
}

}  // namespace
