// The monitor as a person uses it, against the stand-in module: what it posts and turns must
// land in the module's space, counters wrapping as the bridge expects them to.
#include <cstdint>
#include <iterator>
#include <string>

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

// What a user at a cockpit meets first: each outcome has its own exit code and says what to do.
TEST_F(MonitorTest, ExitCodesTellAMissingModuleFromAMistypedCommandLine) {
    EXPECT_EQ(RunMonitor(""), 3u);
    EXPECT_NE(monitor_.Output().find("IPC module is not running"), std::string::npos)
        << monitor_.Output();
    EXPECT_EQ(RunMonitor("--watch"), 2u);
    EXPECT_NE(monitor_.Output().find("--help"), std::string::npos) << monitor_.Output();
    EXPECT_EQ(RunMonitor("--once --watch 100"), 2u);
    EXPECT_EQ(RunMonitor("--help"), 0u);
    EXPECT_NE(monitor_.Output().find("Exit codes"), std::string::npos) << monitor_.Output();

    // The simulator's own window, without the module's marker behind it.
    ASSERT_TRUE(StartModule("--class FS98MAIN --version 0 --marker 0"));
    EXPECT_EQ(RunMonitor("--once"), 3u);
    EXPECT_NE(monitor_.Output().find("IPC module is not running"), std::string::npos)
        << monitor_.Output();
}

// Readings printed to a pipe one after another: a value is marked in the one reading where it
// differs from the reading before, and in no other. Each change touches only the high byte of a
// 16-bit value, or one bit of a lamp byte.
TEST_F(MonitorTest, LiveViewMarksWhatChangedSinceTheReadingBefore) {
    ASSERT_TRUE(StartModule());
    struct Change {
        std::uint32_t offset;
        std::uint16_t before, after;
        std::size_t size;
        const char* shownAfter;  // with the mark's column, a space until the change is marked
    };
    const Change changes[] = {
        {0x9430, 1234, 1490, 2, "   1:  1490 "},    // display 1
        {0x9402, 0x01, 0x03, 1, "9402 00000011 "},  // lamp byte
        {0x9480, 1, 257, 2, "9480:   257 "},        // single value
    };
    for (const Change& change : changes) {
        WriteOffsets(offsets_, change.offset, &change.before, change.size);
    }
    ASSERT_TRUE(monitor_.Start("monitor.exe", "--watch 100"));
    ASSERT_TRUE(monitor_.WaitForOutput("reading 2 at"));
    EXPECT_NE(monitor_.Output().find("   1:  1234 "), std::string::npos) << monitor_.Output();
    for (const Change& change : changes) {
        WriteOffsets(offsets_, change.offset, &change.after, change.size);
    }
    for (const Change& change : changes) {
        std::string marked = change.shownAfter;
        marked.back() = '*';
        EXPECT_TRUE(monitor_.WaitForOutput(marked)) << marked;
        EXPECT_TRUE(monitor_.WaitForOutput(change.shownAfter)) << "unmarked later";
    }
    monitor_.Stop();
    EXPECT_EQ(monitor_.ExitCode(), 0u);

    // The header of each reading explains the mark as "*:".
    const std::string output = monitor_.Output();
    std::size_t marks = 0;
    for (std::size_t at = output.find('*'); at != std::string::npos;
         at = output.find('*', at + 1)) {
        if (output.compare(at, 2, "*:") != 0) ++marks;
    }
    EXPECT_EQ(marks, std::size(changes)) << output;
}

}  // namespace
