// Letting go of both sides and connecting again, as File > Reconnect does: nothing held twice,
// no buffer name used twice, and the bridge as fresh as in a new process.
#include <gtest/gtest.h>

#include <array>

#include "bridge/bridge.h"
#include "bridge/bridge_block.h"
#include "bridge/connection.h"
#include "tests/unit/cycle_world.h"

namespace {

using cycle_world::kStateBlock;

constexpr std::uint32_t kDisplay1 = 0x9430;
constexpr std::uint32_t kFirstExported = 0x9402;
constexpr std::uint32_t kFirstCounter = 0x94F0;

// 0x9402..0x94EF less the flagless byte and the two gaps: the bytes the exports own.
bool Exported(std::uint32_t offset) {
    return offset != 0x9408 && !(offset >= 0x9427 && offset <= 0x942F) &&
           !(offset >= 0x9472 && offset <= 0x947F);
}

using Block = std::array<std::uint8_t, kFirstCounter - kFirstExported>;

Block ExportedBytes() {
    Block bytes;
    std::memcpy(bytes.data(), fake::ModuleSpace().bytes + kFirstExported, bytes.size());
    return bytes;
}

class ReconnectTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(cycle_world::Open()); }
};

// The link's atom, mapping and view and both add-on views: one of each after every reconnect.
void ExpectHeldOnce() {
    EXPECT_EQ(fake::LiveAtomCount(), 1u);
    EXPECT_EQ(fake::LiveHandleCount(), 3u);
    EXPECT_EQ(fake::LiveViewCount(), 3u);
}

TEST_F(ReconnectTest, ThousandsOfReconnectsHoldNothingMoreAndNeverReuseAName) {
    ExpectHeldOnce();
    for (std::uint32_t attempt = 2; attempt <= 3000; ++attempt) {
        ASSERT_EQ(RunCycle(), LINK_OK);
        DisconnectBothSides();
        ASSERT_EQ(ConnectBothSides(), LINK_OK);
        ASSERT_EQ(g_link.openCount, attempt);
    }
    ExpectHeldOnce();

    // A reconnect that finds no add-on keeps the link open, as a start does; the next one
    // releases it like any other.
    fake::ReleaseBlockOfOtherProcess(kStateBlock);
    DisconnectBothSides();
    EXPECT_EQ(ConnectBothSides(), STATUS_SDK_UNAVAILABLE);
    EXPECT_EQ(fake::LiveAtomCount(), 1u);
    EXPECT_EQ(fake::LiveHandleCount(), 1u);
    DisconnectBothSides();
    EXPECT_EQ(fake::LiveAtomCount(), 0u);
    EXPECT_EQ(fake::LiveHandleCount(), 0u);
    EXPECT_EQ(fake::LiveViewCount(), 0u);
    EXPECT_EQ(g_link.openCount, 3001u);
}

// A new module starts with empty offsets; after the reconnect every value the add-on holds
// goes out again, and the fresh mailbox's 0 is marked empty, not served as a command.
TEST_F(ReconnectTest, AfterAReconnectEverythingIsExportedAgainAndCountsStartOver) {
    cycle_world::SetStateInt32(0x09C, 7);  // display 1 reads 7
    cycle_world::PostCode(42);
    ASSERT_EQ(RunCycle(), LINK_OK);
    ASSERT_EQ(fake::ModuleSpace().bytes[kDisplay1], 7);
    ASSERT_EQ(g_bridge.commandsForwarded, 1u);

    fake::ModuleSpace().bytes[kDisplay1] = 0;  // as a module started again holds it
    cycle_world::PostCode(0);
    DisconnectBothSides();
    EXPECT_EQ(g_bridge.cyclesRun, 0u);
    EXPECT_EQ(g_bridge.lastSentDisplays[0], 0.0);
    ASSERT_EQ(ConnectBothSides(), LINK_OK);
    cycle_world::ClearCommand();

    EXPECT_EQ(RunCycle(), LINK_OK);
    EXPECT_EQ(fake::ModuleSpace().bytes[kDisplay1], 7);
    EXPECT_EQ(cycle_world::CommandCode(), -7);
    EXPECT_EQ(cycle_world::ModuleMailbox(), -1);
    EXPECT_EQ(g_bridge.cyclesRun, 1u);
    EXPECT_EQ(g_bridge.commandsForwarded, 0u);
}

// The module keeps its block while Quorvane is away: bytes of an earlier run and counters that
// clients turned meanwhile. A reconnect once took every counter as a turn from 0 (the add-on got
// "command 1239 with 2350" and seven more nobody gave) and left the old bytes where the add-on's
// values are 0. Now the first cycle forwards only the code posted meanwhile, writes exactly the
// values the block does not show, and leaves the block as a fresh module would show the state.
TEST_F(ReconnectTest, AStaleBlockGivesNoTurnNobodyMadeAndKeepsNoStaleValue) {
    cycle_world::SetStateInt32(0x09C, 10);     // display 1 blank: 0xFFFF
    cycle_world::SetStateInt32(0x1B0, 4);      // display 3 reads 4
    cycle_world::SetStateInt32(0x024, 1);      // bit 1 of 0x9402
    cycle_world::SetStateInt32(0x020, -1);     // single value 0x9484: 0xFF
    cycle_world::SetStateDouble(0x010, -2.0);  // single value 0x9482: 0xFFFE
    cycle_world::SetStateDouble(0x008, 250.5);
    ASSERT_EQ(RunCycle(), LINK_OK);
    const Block fresh = ExportedBytes();  // the state as a fresh module shows it

    for (std::uint32_t at = kFirstExported; at < kFirstCounter; ++at) {
        fake::ModuleSpace().bytes[at] = static_cast<std::uint8_t>(at * 37 + 11);
    }
    // Values the block shows already, each through the widening its kind needs.
    const std::uint32_t alreadyShown[] = {0x9430, 0x9431, 0x9484, 0x9482, 0x9483};
    for (const std::uint32_t at : alreadyShown) {
        fake::ModuleSpace().bytes[at] = fresh[at - kFirstExported];
    }
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        cycle_world::SetCounter(k, static_cast<std::uint8_t>(40 + k));
    }
    cycle_world::PostCode(1234);
    const Block stale = ExportedBytes();

    DisconnectBothSides();
    ASSERT_EQ(ConnectBothSides(), LINK_OK);
    cycle_world::ClearCommand();
    const unsigned before = fake::ExchangesHandled();
    for (int cycle = 0; cycle < 2; ++cycle) ASSERT_EQ(RunCycle(), LINK_OK);

    EXPECT_EQ(g_bridge.commandsForwarded, 1u);
    EXPECT_EQ(cycle_world::CommandCode(), 1234);
    for (const fake::LoggedRecord& record : fake::ExchangeRecords(before + 1)) {
        if (record.kind != exchange::RecordKind::Write) continue;
        const std::size_t at = record.offset - kFirstExported;
        EXPECT_NE(std::memcmp(&stale[at], &fresh[at], record.size), 0)
            << "written though the block showed it: 0x" << std::hex << record.offset;
    }
    const Block after = ExportedBytes();
    for (std::uint32_t at = kFirstExported; at < kFirstCounter; ++at) {
        const std::size_t i = at - kFirstExported;
        EXPECT_EQ(+after[i], +(Exported(at) ? fresh[i] : stale[i])) << "0x" << std::hex << at;
    }
}

// The read that seeds the bridge is the module's first exchange after the handshake; when it
// gets no answer, connecting failed. Both sides stay held, as when the add-on is missing, and
// the next reconnect releases them.
TEST_F(ReconnectTest, AModuleThatDoesNotAnswerTheSeedingReadIsAConnectFailure) {
    DisconnectBothSides();
    cycle_world::HangAfterHandshake(ERROR_TIMEOUT);
    EXPECT_EQ(ConnectBothSides(), LINK_TIMEOUT);
    ExpectHeldOnce();
    fake::SetAfterExchangeHook({});
    DisconnectBothSides();
    EXPECT_EQ(fake::LiveAtomCount(), 0u);
    EXPECT_EQ(ConnectBothSides(), LINK_OK);
}

// A module whose reply succeeds but leaves the read of its block out (the first record's id
// overwritten with the terminator) has not connected: seeding from bytes that never arrived
// takes counters the module does not hold, and the first cycle forwards turns nobody made.
TEST_F(ReconnectTest, ASeedReplyThatLeavesTheReadOutIsAConnectFailure) {
    DisconnectBothSides();
    for (std::size_t k = 0; k < 8; ++k)
        cycle_world::SetCounter(k, static_cast<std::uint8_t>(40 + k));
    cycle_world::PostCode(1234);
    cycle_world::ClearCommand();
    fake::SetAfterExchangeHook([](std::span<std::uint8_t> buffer) {
        std::uint32_t offset;
        std::memcpy(&offset, buffer.data() + kRecordOffsetField, sizeof offset);
        if (offset != kBridgeBlockStart) return;
        const std::uint32_t terminator = kTerminatorId;
        std::memcpy(buffer.data() + kRecordIdField, &terminator, sizeof terminator);
    });
    EXPECT_EQ(ConnectBothSides(), LINK_READ_LEFT_OUT);
    fake::SetAfterExchangeHook({});
    EXPECT_EQ(cycle_world::CommandCode(), -7);
}

}  // namespace
