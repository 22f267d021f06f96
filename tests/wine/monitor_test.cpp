// The monitor as a person uses it, against the stand-in module: what it posts and turns must
// land in the module's space, counters wrapping as the bridge expects them to.
#include <cstdint>

#include "tests/wine/stand_in_fixture.h"

namespace {

class MonitorTest : public StandInTest {
  protected:
    // Runs monitor.exe to its end; its exit code.
    DWORD RunMonitor(const std::string& arguments) {
        if (!monitor_.Start("monitor.exe", arguments) || !monitor_.WaitForExit(20000)) return ~0u;
        return monitor_.ExitCode();
    }

    StandInProcess monitor_;
};

TEST_F(MonitorTest, PostsCodesAndTurnsCountersAcrossTheWrap) {
    ASSERT_TRUE(StartModule());
    const std::uint8_t counter = 254;
    WriteOffsets(offsets_, 0x94F3, &counter, sizeof counter);

    EXPECT_EQ(RunMonitor("--post 1234 --turn 3 5"), 0u) << monitor_.Output();
    std::int16_t mailbox = 0;
    std::uint8_t turned = 0;
    ReadOffsets(offsets_, 0x9400, &mailbox, sizeof mailbox);
    ReadOffsets(offsets_, 0x94F3, &turned, sizeof turned);
    EXPECT_EQ(mailbox, 1234);
    EXPECT_EQ(turned, 3);

    EXPECT_EQ(RunMonitor("--post -1 --turn 3 -4"), 0u) << monitor_.Output();
    ReadOffsets(offsets_, 0x9400, &mailbox, sizeof mailbox);
    ReadOffsets(offsets_, 0x94F3, &turned, sizeof turned);
    EXPECT_EQ(mailbox, -1);
    EXPECT_EQ(turned, 255);
}

TEST_F(MonitorTest, FailsWithoutAModule) {
    EXPECT_EQ(RunMonitor(""), 1u);
    EXPECT_NE(monitor_.Output().find("LINK_NO_SIMULATOR"), std::string::npos);
}

}  // namespace
