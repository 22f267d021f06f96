// The input direction: mailbox codes forwarded and cleared, encoder turns turned into absolute
// targets, and the order in which one cycle's commands reach the add-on's block.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bridge/bridge.h"
#include "bridge/snapshot_fields.h"
#include "tests/unit/cycle_world.h"

namespace {

using cycle_world::CommandCode;
using cycle_world::CommandParameter;

class InputStagesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(cycle_world::Open());
        cycle_world::ClearCommand();
    }

    // Serves one turn of encoder k from `from` to `to` against the given display reading.
    static void Turn(std::size_t k, std::int32_t from, std::int32_t to, double display) {
        g_bridge.displays[kEncoderDisplays[k] - 1] = display;
        g_bridge.lastSeenCounters[k] = from;
        g_bridge.encoderSlots[k] = to;
        ServeEncoders();
    }

    static void SetSnapshotInt32(std::uint32_t offset, std::int32_t value) {
        std::memcpy(g_bridge.snapshot + offset, &value, sizeof value);
    }

    static constexpr std::uint32_t kEncoderDisplays[kEncoderCount] = {6, 3, 8, 4, 7, 5, 1, 2};
};

TEST_F(InputStagesTest, CounterMovesByTheShorterWayRound) {
    struct Case {
        std::int32_t from, to, steps;
    };
    const Case cases[] = {
        {255, 0, 1}, {0, 255, -1},   {10, 138, 128}, {138, 10, 128}, {10, 139, -127},
        {0, 5, 5},   {200, 72, 128}, {1, 0, -1},     {0, 128, 128},  {0, 129, -127},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to);
        Turn(0, c.from, c.to, 1000.0);  // encoder 0: display 6, 100 a step
        EXPECT_EQ(CommandCode(), 1232);
        EXPECT_EQ(CommandParameter(), 1000.0 + 100.0 * c.steps);
        EXPECT_EQ(g_bridge.lastSeenCounters[0], c.to);
    }

    cycle_world::ClearCommand();
    Turn(0, 77, 77, 1000.0);
    EXPECT_EQ(CommandCode(), -7);  // an unmoved counter sends nothing
}

TEST_F(InputStagesTest, EachEncoderMovesItsOwnDisplayByItsOwnStep) {
    // Display n reads n * 1000; a blank display counts from 0 with the blank step.
    const double turnedUp[kEncoderCount] = {6100, 3001, 8001, 4001, 7100, 5001, 1500, 2050};
    const double turnedUpFromBlank[kEncoderCount] = {100, 1, 1, 1, 50, 1, 500, 50};
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        SCOPED_TRACE(testing::Message() << "encoder " << k);
        for (std::size_t n = 1; n <= 8; ++n) g_bridge.displays[n - 1] = 1000.0 * n;
        Turn(k, 0, 1, 1000.0 * kEncoderDisplays[k]);
        EXPECT_EQ(CommandCode(), 1232 + static_cast<std::int32_t>(k));
        EXPECT_EQ(CommandParameter(), turnedUp[k]);

        Turn(k, 1, 0, kBlankDisplay);
        EXPECT_EQ(CommandParameter(), -turnedUpFromBlank[k]);
    }
}

TEST_F(InputStagesTest, HundredthsModeOfEncoderThree) {
    constexpr std::uint32_t kHundredsDigit = 0x1C0;
    SetSnapshotInt32(kHundredsDigit, 10);  // blank hundreds digit: hundredths
    Turn(3, 0, 1, 78.0);
    EXPECT_EQ(CommandCode(), 1235);
    EXPECT_DOUBLE_EQ(CommandParameter(), 0.79);
    Turn(3, 1, 0, 78.0);
    EXPECT_DOUBLE_EQ(CommandParameter(), 0.77);
    Turn(3, 0, 1, kBlankDisplay);
    EXPECT_DOUBLE_EQ(CommandParameter(), 0.01);

    SetSnapshotInt32(kHundredsDigit, 9);  // a digit: whole steps
    Turn(3, 0, 1, 78.0);
    EXPECT_EQ(CommandParameter(), 79.0);
    SetSnapshotInt32(kHundredsDigit, -20);  // compared as a signed value
    Turn(3, 0, 1, 78.0);
    EXPECT_EQ(CommandParameter(), 79.0);
}

TEST_F(InputStagesTest, SignFieldOfEncoderFour) {
    constexpr std::uint32_t kSign = 0x1F4;
    Turn(4, 0, 1, 1200.0);
    EXPECT_EQ(CommandCode(), 1236);
    EXPECT_EQ(CommandParameter(), 1300.0);

    SetSnapshotInt32(kSign, 12);  // minus
    Turn(4, 0, 1, 1200.0);
    EXPECT_EQ(CommandParameter(), -1100.0);
    Turn(4, 2, 0, 1200.0);
    EXPECT_EQ(CommandParameter(), -1400.0);
    Turn(4, 0, 1, kBlankDisplay);
    EXPECT_EQ(CommandParameter(), 50.0);

    SetSnapshotInt32(kSign, 11);
    Turn(4, 0, 1, kBlankDisplay);
    EXPECT_EQ(CommandParameter(), 50.0);
    Turn(4, 0, 1, 1200.0);
    EXPECT_EQ(CommandParameter(), 1300.0);
}

TEST_F(InputStagesTest, MailboxCodesAreForwardedOnceAndCleared) {
    for (std::int16_t code : {std::int16_t{0}, std::int16_t{32767}}) {
        SCOPED_TRACE(code);
        cycle_world::ClearCommand();
        cycle_world::PostCode(code);
        const unsigned before = fake::ExchangesHandled();

        EXPECT_EQ(RunCycle(), LINK_OK);

        EXPECT_EQ(CommandCode(), code);
        EXPECT_EQ(CommandParameter(), 0.0);
        EXPECT_EQ(g_bridge.mailbox, -1);
        EXPECT_EQ(cycle_world::ModuleMailbox(), -1);
        ASSERT_EQ(fake::ExchangesHandled(), before + 2);
        const auto clearing = fake::LastExchangeRecords();
        ASSERT_EQ(clearing.size(), 1u);
        EXPECT_EQ(clearing[0].kind, exchange::RecordKind::Write);
        EXPECT_EQ(clearing[0].offset, cycle_world::kMailbox);
        ASSERT_EQ(clearing[0].size, 2u);
        EXPECT_EQ(clearing[0].data[0], 0xFF);
        EXPECT_EQ(clearing[0].data[1], 0xFF);

        // Served once: the next cycle reads the cleared mailbox and sends nothing.
        cycle_world::ClearCommand();
        EXPECT_EQ(RunCycle(), LINK_OK);
        EXPECT_EQ(CommandCode(), -7);
        EXPECT_EQ(fake::ExchangesHandled(), before + 3);
    }

    for (std::int16_t code : {std::int16_t{-1}, std::int16_t{-2}, std::int16_t{-32768}}) {
        SCOPED_TRACE(code);
        cycle_world::PostCode(code);
        const unsigned before = fake::ExchangesHandled();

        EXPECT_EQ(RunCycle(), LINK_OK);

        EXPECT_EQ(CommandCode(), -7);
        EXPECT_EQ(g_bridge.mailbox, code);  // a negative code other than -1 is left in place
        EXPECT_EQ(cycle_world::ModuleMailbox(), code);
        EXPECT_EQ(fake::ExchangesHandled(), before + 1);
    }
}

// Commands of one cycle replace each other in the block: the mailbox's first, then the
// encoders in ascending order, so the last changed encoder's command is what stays.
TEST_F(InputStagesTest, OneCyclesCommandsArriveMailboxFirstThenEncodersInOrder) {
    ASSERT_EQ(RunCycle(), LINK_OK);
    std::vector<std::int32_t> codesAtExchanges;
    fake::SetAfterExchangeHook(
        [&](std::span<std::uint8_t>) { codesAtExchanges.push_back(CommandCode()); });
    cycle_world::PostCode(77);
    cycle_world::SetCounter(2, 1);
    cycle_world::SetCounter(5, 3);

    EXPECT_EQ(RunCycle(), LINK_OK);
    fake::SetAfterExchangeHook({});

    // The mailbox's command stood in the block when its clearing exchange ran.
    EXPECT_EQ(codesAtExchanges, (std::vector<std::int32_t>{-7, 77}));
    EXPECT_EQ(CommandCode(), 1237);
    EXPECT_EQ(CommandParameter(), 3.0);  // display 5 reads 0
    EXPECT_EQ(g_bridge.lastSeenCounters[2], 1);
    EXPECT_EQ(g_bridge.lastSeenCounters[5], 3);

    for (std::size_t k = 0; k < kEncoderCount; ++k) cycle_world::SetCounter(k, 9);
    EXPECT_EQ(RunCycle(), LINK_OK);
    EXPECT_EQ(CommandCode(), 1239);
    EXPECT_EQ(CommandParameter(), 9 * 50.0);  // display 2 reads 0
    for (std::size_t k = 0; k < kEncoderCount; ++k) EXPECT_EQ(g_bridge.lastSeenCounters[k], 9);
}

}  // namespace
