// The cycle checks must catch what they are there to catch: each test lets the bridge misbehave
// in one way, from outside, and expects the rig to name the rule broken.
#include "reliability/cycle_rig.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>

#include "bridge/bridge.h"
#include "simlink/simlink.h"

namespace {

using cycle_checks::CycleRig;
using cycle_checks::ExchangeFaults;

constexpr std::uint32_t kFirstDigitOfDisplay1 = 0x08C;
constexpr std::uint32_t kFirstFlagField = 0x024;  // bit 1 of 0x9402

class CycleRigTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(rig.Start(true)); }

    void SetField(std::uint32_t offset, std::int32_t value) {
        std::memcpy(rig.StateBlock().data() + offset, &value, sizeof value);
    }

    // The rule the next cycle breaks, or "" when it keeps them all.
    std::string RunCycleChecked(const ExchangeFaults& faults = {}) {
        LinkResult result = LINK_OK;
        const char* broken = rig.RunCheckedCycle(faults, result);
        return broken == nullptr ? "" : broken;
    }

    static CycleRig rig;  // static storage: it keeps a copy of the module's whole space
};

CycleRig CycleRigTest::rig;

TEST_F(CycleRigTest, AWellBehavedBridgeKeepsEveryRule) {
    rig.PostMailbox(-1);
    SetField(kFirstDigitOfDisplay1, 7);
    SetField(kFirstFlagField, 1);
    EXPECT_EQ(RunCycleChecked(), "");
    rig.PostMailbox(1234);
    rig.SetCounter(3, 200);
    EXPECT_EQ(RunCycleChecked(), "");
    // Delivery retried within one exchange, then a module that answers 0: the cycle fails as
    // the rules say it must.
    EXPECT_EQ(RunCycleChecked({.timedOutSends = 8}), "");
    EXPECT_EQ(RunCycleChecked({.badAnswer = true}), "");
    EXPECT_EQ(rig.CheckSpaceOutsideBlock(), nullptr);
    EXPECT_EQ(rig.Counts().cycles, 4u);
    EXPECT_EQ(rig.Counts().mailboxCommands, 1u);
    EXPECT_EQ(rig.Counts().encoderCommands, 1u);
}

TEST_F(CycleRigTest, CatchesAWriteWithoutAChangeAndABlockBehindTheSnapshot) {
    rig.PostMailbox(-1);
    SetField(kFirstFlagField, 1);
    ASSERT_EQ(RunCycleChecked(), "");
    // A bridge that forgets what it sent writes the same byte again.
    g_bridge.lastSentFlags[0] = 0;
    EXPECT_EQ(RunCycleChecked(), "a value written though its source did not change");

    // Another client scribbling over an exported value leaves the block behind the snapshot.
    ASSERT_TRUE(rig.Start(true));
    rig.PostMailbox(-1);
    SetField(kFirstFlagField, 1);
    fake::SetAfterExchangeHook(
        [](std::span<std::uint8_t>) { fake::ModuleSpace().bytes[0x9402] = 0x55; });
    EXPECT_EQ(RunCycleChecked(), "the block does not show a value of the snapshot");
    fake::SetAfterExchangeHook(nullptr);
}

TEST_F(CycleRigTest, CatchesWritesOutsideTheBridgesOwnBytes) {
    rig.PostMailbox(-1);
    const std::uint8_t byte = 1;
    LinkResult result = LINK_OK;
    // Queued before the cycle, so they travel in its exchange as if the stages had made them.
    ASSERT_TRUE(LinkWrite(0x9408, 1, &byte, result));
    EXPECT_EQ(RunCycleChecked(), "a write to the mailbox, 0x9408, a gap or a counter");

    ASSERT_TRUE(rig.Start(true));
    rig.PostMailbox(-1);
    ASSERT_TRUE(LinkWrite(0x3000, 1, &byte, result));
    EXPECT_EQ(RunCycleChecked(), "a write outside 0x9400..0x94F7");
    EXPECT_STREQ(rig.CheckSpaceOutsideBlock(), "an offset outside 0x9400..0x94F7 has changed");
}

TEST_F(CycleRigTest, CatchesCommandsTheRulesDoNotCallFor) {
    rig.PostMailbox(-1);
    rig.SetCounter(0, 5);
    ASSERT_EQ(RunCycleChecked(), "");
    // A bridge that loses count of a counter sends a target off by the steps it forgot.
    g_bridge.lastSeenCounters[0] = 3;
    rig.SetCounter(0, 6);
    EXPECT_EQ(RunCycleChecked(), "the command block does not hold the command due");

    // One that takes a refused exchange for a good one serves a code nobody posted, and makes
    // an exchange for it.
    ASSERT_TRUE(rig.Start(true));
    rig.PostMailbox(-1);
    ASSERT_EQ(RunCycleChecked(), "");
    g_bridge.mailbox = 77;
    EXPECT_EQ(RunCycleChecked({.badAnswer = true}),
              "exchanges other than one a cycle and one for a forwarded code");
}

TEST_F(CycleRigTest, CatchesACommandBlockTouchedBeyondCodeAndParameter) {
    rig.PostMailbox(12);
    fake::SetAfterExchangeHook([this](std::span<std::uint8_t>) { rig.CommandBlock()[16] = 0xEE; });
    EXPECT_EQ(RunCycleChecked(), "the command block's kept word or spare byte changed");
    fake::SetAfterExchangeHook(nullptr);
}

// The hazard fuzz_cycle found: on the first cycle a code that waited at connecting is served
// even when the first exchange never reached the module, and the mailbox's exchange gets through.
// The writes of the lost exchange stay lost while their values do not change, so the cycle
// must fail rather than report success; the rig then no longer expects the block to keep up.
TEST_F(CycleRigTest, FirstCycleFailsWhenItsExchangeIsLostThoughAWaitingCodeIsServed) {
    std::uint8_t block[0xF8] = {};
    block[0] = 5;  // code 5, posted while no bridge ran
    ASSERT_TRUE(rig.Start(true, block));
    SetField(kFirstFlagField, 1);
    LinkResult result = -1;
    EXPECT_EQ(rig.RunCheckedCycle({.timedOutSends = 9}, result), nullptr);
    EXPECT_EQ(result, LINK_TIMEOUT);
    std::int32_t code = -1;
    std::memcpy(&code, rig.CommandBlock().data(), sizeof code);
    EXPECT_EQ(code, 5);

    EXPECT_EQ(RunCycleChecked(), "");
    EXPECT_EQ(fake::ModuleSpace().bytes[0x9402], 0)
        << "the flag byte went out with the lost exchange";
}

// Ways a bridge can mistake a fresh module's mailbox, planted right after connecting.
void KeepTheRules(CycleRig&) {}
void ForgetTheMark(CycleRig&) {
    g_bridge.mailboxMarkDue = false;
}
void ForgetTheMarkOfAMailboxAClientEmptied(CycleRig& rig) {
    g_bridge.mailboxMarkDue = false;
    rig.PostMailbox(-1);
}
void PostACodeWhileLoading(CycleRig& rig) {
    rig.PostMailbox(777);
}
void TakeTheFreshZeroForACode(CycleRig&) {
    g_bridge.mailbox = 0;
    g_bridge.mailboxMarkDue = false;
}
void MarkAUsedBlock(CycleRig&) {
    g_bridge.mailboxMarkDue = true;
}

// A block that reads all zero was never written: its mailbox's 0 is no code. The rig names a
// bridge that forgets to mark it, takes its 0 for a code, or marks a block that was used.
TEST_F(CycleRigTest, CatchesABridgeThatMistakesAFreshMailbox) {
    constexpr unsigned kLost = 9;  // timed-out sends: the first exchange never arrives
    struct Case {
        bool fresh;
        void (*plant)(CycleRig&);
        unsigned timedOutSends;
        const char* broken;
    };
    const Case cases[] = {
        {true, KeepTheRules, 0, ""},
        {true, KeepTheRules, kLost, ""},
        {true, PostACodeWhileLoading, 0, ""},
        {true, ForgetTheMark, 0, "exchanges other than one a cycle and one for a forwarded code"},
        {true, ForgetTheMarkOfAMailboxAClientEmptied, 0,
         "a never-written mailbox is not marked empty at the end of the exchange"},
        {true, TakeTheFreshZeroForACode, kLost,
         "exchanges other than one a cycle and one for a forwarded code"},
        {false, MarkAUsedBlock, 0, "a write after the reads of the inputs"},
    };
    std::uint8_t used[0xF8] = {};
    used[0] = used[1] = 0xFF;  // the mailbox, emptied
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        ASSERT_TRUE(c.fresh ? rig.Start(true) : rig.Start(true, used));
        c.plant(rig);
        EXPECT_EQ(RunCycleChecked({.timedOutSends = c.timedOutSends}), c.broken);
    }
}

// A module that kept its block from an earlier run, the mailbox emptied: a bridge that starts
// from what it read keeps every rule; one that forgets part of it takes a counter for a turn,
// leaves a stale value standing, or writes a value the block showed already.
TEST_F(CycleRigTest, CatchesABridgeThatIgnoresTheBlockItConnectedTo) {
    std::uint8_t block[0xF8];
    for (std::size_t i = 0; i < sizeof block; ++i)
        block[i] = static_cast<std::uint8_t>(i * 37 + 11);
    block[0] = block[1] = 0xFF;     // the mailbox, emptied
    block[0x30] = block[0x31] = 0;  // display 1 shows the state's 0
    ASSERT_TRUE(rig.Start(true, block));
    SetField(kFirstFlagField, 1);
    EXPECT_EQ(RunCycleChecked(), "");
    EXPECT_EQ(rig.Counts().encoderCommands, 0u);

    ASSERT_TRUE(rig.Start(true, block));
    g_bridge.lastSeenCounters[2] = 0;
    EXPECT_EQ(RunCycleChecked(), "the command block changed though no command was due");

    ASSERT_TRUE(rig.Start(true, block));
    g_bridge.lastSentSingleInts[2] = 0;  // 0x9484, whose source is 0
    EXPECT_EQ(RunCycleChecked(), "the block does not show a value of the snapshot");

    ASSERT_TRUE(rig.Start(true, block));
    g_bridge.lastSentDisplays[0] = 5.0;
    EXPECT_EQ(RunCycleChecked(), "a value written though the block held it when connecting");
}

// The module's reply to the read of its block, tampered with: connecting must fail exactly when
// the read is left out, and a reply that shows other counters is the module's word for them.
TEST_F(CycleRigTest, ConnectsExactlyWhenTheSeedReplyBringsTheRead) {
    using Kind = cycle_checks::SeedReply::Kind;
    struct Case {
        const char* what;
        cycle_checks::SeedReply reply;
        bool connects;
    };
    const Case cases[] = {
        {"whole", {}, true},
        {"walk cut before the read", {.kind = Kind::IdRewritten, .id = 0}, false},
        {"read turned into a write", {.kind = Kind::IdRewritten, .id = kWriteRecordId}, false},
        {"unknown id", {.kind = Kind::IdRewritten, .id = 0xDEADBEEF}, false},
        {"id written over with its own value",
         {.kind = Kind::IdRewritten, .id = kReadRecordId},
         true},
        {"counters shown otherwise",
         {.kind = Kind::DataRewritten, .at = 0xF0, .size = 8, .bytes = {9, 9, 9, 9, 9, 9, 9, 9}},
         true},
    };
    std::uint8_t block[0xF8] = {};
    block[0] = block[1] = 0xFF;  // the mailbox, emptied
    for (std::size_t k = 0; k < 8; ++k) block[0xF0 + k] = static_cast<std::uint8_t>(40 + k);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(rig.Start(true, block, c.reply), c.connects);
        EXPECT_STREQ(rig.CheckConnect(), nullptr);
        if (c.connects) {
            EXPECT_EQ(RunCycleChecked(), "");
        }
    }
}

}  // namespace
