// Letting go of both sides and connecting again, as File > Reconnect does: nothing held twice,
// no buffer name used twice, and the bridge as fresh as in a new process.
#include <gtest/gtest.h>

#include "bridge/bridge.h"
#include "bridge/connection.h"
#include "tests/unit/cycle_world.h"

namespace {

using cycle_world::kStateBlock;

constexpr std::uint32_t kDisplay1 = 0x9430;

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
// goes out again, and the mailbox's start value 0 is served as on a fresh start.
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
    EXPECT_EQ(cycle_world::CommandCode(), 0);
    EXPECT_EQ(g_bridge.cyclesRun, 1u);
    EXPECT_EQ(g_bridge.commandsForwarded, 1u);
}

}  // namespace
