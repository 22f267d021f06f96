// What lets Quorvane run unwatched: the automatic reconnect's schedule and its cost over many
// failed tries, the pace of the cycles, the log's lines and what becomes of them when the log
// cannot be written, the kept option, and the one-copy rule.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "bridge/connection.h"
#include "log/log_file.h"
#include "log/log_line.h"
#include "shell/pace.h"
#include "shell/retry_schedule.h"
#include "shell/settings.h"
#include "shell/single_instance.h"
#include "tests/fresh_world/fresh_world.h"
#include "tests/unit/cycle_world.h"
#include "tests/unit/stand_in_windows.h"

namespace {

constexpr wchar_t kLocalAppData[] = L"C:\\Users\\pilot\\AppData\\Local";
constexpr wchar_t kFolder[] = L"C:\\Users\\pilot\\AppData\\Local\\Quorvane";
constexpr wchar_t kLog[] = L"C:\\Users\\pilot\\AppData\\Local\\Quorvane\\Quorvane.log";
constexpr wchar_t kOlderLog[] = L"C:\\Users\\pilot\\AppData\\Local\\Quorvane\\Quorvane.log.1";

// ---- The automatic reconnect -------------------------------------------------------------------

TEST(RetryScheduleTest, WaitsFiveSecondsAfterEachFailedTryOnlyWhileTheOptionIsOn) {
    RetrySchedule retry{};
    const ClockTime noon{12, 0, 0};
    EXPECT_FALSE(RetryAfterOutcome(retry, true, noon)) << "off: behaves as without the option";
    EXPECT_FALSE(RetryBegin(retry));

    EXPECT_TRUE(RetrySetEnabled(retry, true, true, noon)) << "turned on while NOT OK";
    EXPECT_EQ(retry.nextTry.second, 5);
    for (std::uint32_t tries = 1; tries <= 3; ++tries) {
        ASSERT_TRUE(RetryBegin(retry));
        EXPECT_FALSE(RetryBegin(retry)) << "a timer message that came late makes no second try";
        EXPECT_TRUE(RetryAfterOutcome(retry, true, {23, 59, 58}));
        EXPECT_EQ(retry.tries, tries);
    }
    EXPECT_EQ(retry.nextTry.hour * 3600 + retry.nextTry.minute * 60 + retry.nextTry.second, 3)
        << "round the clock";

    EXPECT_FALSE(RetryAfterOutcome(retry, false, noon)) << "OK ends the waiting";
    EXPECT_EQ(retry.tries, 0u);
    EXPECT_FALSE(RetrySetEnabled(retry, true, false, noon)) << "turned on while OK";
    RetryAfterOutcome(retry, true, noon);
    EXPECT_FALSE(RetrySetEnabled(retry, false, true, noon));
    EXPECT_FALSE(retry.waiting) << "turned off";
}

// Each try is a whole reconnect that fails: with no module, with a module that refuses every
// exchange (the link's open fails after its atom and mapping were made), or with a module but no
// add-on (the link is opened and kept, as a start keeps it). After ten thousand, no more is held
// than after one.
TEST(RetryScheduleTest, TenThousandFailedTriesHoldNoMoreThanOne) {
    struct Case {
        const char* world;
        bool module;
        DWORD_PTR answer;
        LinkResult expected;
    };
    const Case cases[] = {
        {"no module", false, 1, LINK_NO_SIMULATOR},
        {"module refusing", true, 0, LINK_BAD_REPLY},
        {"module without add-on", true, 1, STATUS_SDK_UNAVAILABLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.world);
        fresh_world::Reset();
        if (c.module) fake::StartModule();
        fake::SetModuleAnswer(c.answer);
        ASSERT_EQ(ConnectBothSides(), c.expected);
        const unsigned atoms = fake::LiveAtomCount();
        const unsigned handles = fake::LiveHandleCount();
        const unsigned views = fake::LiveViewCount();
        RetrySchedule retry{true, true, 0, {}};
        for (int i = 0; i < 10000; ++i) {
            ASSERT_TRUE(RetryBegin(retry));
            DisconnectBothSides();
            ASSERT_EQ(ConnectBothSides(), c.expected);
            ASSERT_TRUE(RetryAfterOutcome(retry, true, {}));
        }
        EXPECT_EQ(retry.tries, 10000u);
        EXPECT_EQ(fake::LiveAtomCount(), atoms);
        EXPECT_EQ(fake::LiveHandleCount(), handles);
        EXPECT_EQ(fake::LiveViewCount(), views);
        EXPECT_EQ(fake::LiveOtherHandleCount(), 0u);
        DisconnectBothSides();
        EXPECT_EQ(fake::LiveAtomCount() + fake::LiveHandleCount() + fake::LiveViewCount(), 0u);
    }
}

// ---- The pace ----------------------------------------------------------------------------------

TEST(PaceTest, CountsCyclesTheLongestGapAndTheSlowGapsOfEachPeriod) {
    constexpr std::int64_t kMs = 10;  // a counter of 10 kHz
    PaceCounters pace{};
    pace.ticksPerSecond = 1000 * kMs;
    PaceStartPeriod(pace, 1000 * kMs, false);
    std::int64_t now = 1000 * kMs;
    for (const std::int64_t gapMs : {10, 10, 51, 10, 50, 120, 10}) {
        now += gapMs * kMs;
        PaceNoteCycle(pace, now);
    }
    now += 10 * kMs;
    PaceSummary summary = PaceTakePeriod(pace, now);
    EXPECT_EQ(summary.cycles, 7u);
    EXPECT_DOUBLE_EQ(summary.seconds, 0.271);
    EXPECT_NEAR(summary.cyclesPerSecond, 7 / 0.271, 1e-9);
    EXPECT_DOUBLE_EQ(summary.longestGapMs, 120);
    EXPECT_EQ(summary.slowGaps, 2u) << "51 and 120 ms; 50 is not over 50";

    // The next period carries the rhythm on: its first cycle's gap counts.
    PaceNoteCycle(pace, now + 60 * kMs);
    summary = PaceTakePeriod(pace, now + 100 * kMs);
    EXPECT_EQ(summary.slowGaps, 1u);
    // A bridge started again: the pause before its first cycle is no gap of the timer.
    PaceStartPeriod(pace, now + 10000 * kMs, false);
    PaceNoteCycle(pace, now + 10005 * kMs);
    EXPECT_EQ(PaceTakePeriod(pace, now + 10010 * kMs).longestGapMs, 0);
}

TEST(PaceTest, ThePanelsRateChangesOnlyOverWholeSeconds) {
    constexpr std::int64_t kSecond = 1000000;
    RateMeter meter{};
    RateMeterSample(meter, 0, 5 * kSecond, kSecond);
    EXPECT_LT(meter.perSecond, 0) << "not known yet";
    RateMeterSample(meter, 60, 5 * kSecond + kSecond * 3 / 4, kSecond);
    EXPECT_LT(meter.perSecond, 0);
    RateMeterSample(meter, 100, 6 * kSecond, kSecond);
    EXPECT_DOUBLE_EQ(meter.perSecond, 100);
    RateMeterSample(meter, 164, 6 * kSecond + kSecond / 4, kSecond);
    EXPECT_DOUBLE_EQ(meter.perSecond, 100) << "a quarter second is too short to say";
    RateMeterSample(meter, 3, 7 * kSecond, kSecond);
    EXPECT_LT(meter.perSecond, 0) << "the counts started over: a reconnect";
}

// ---- The log -----------------------------------------------------------------------------------

std::string Formatted(const SYSTEMTIME& time, const char* format, ...) {
    char line[kLogLineLength];
    std::va_list arguments;
    va_start(arguments, format);
    const std::size_t length = FormatLogLine(line, time, format, arguments);
    va_end(arguments);
    return {line, length};
}

TEST(LogLineTest, EachLineBeginsWithTheLocalTimeToTheMillisecondAndEndsInCrLf) {
    EXPECT_EQ(Formatted({2027, 1, 5, 2, 3, 4, 5, 6}, "Bridge started after %d s.", 2),
              "2027-01-02 03:04:05.006 Bridge started after 2 s.\r\n");
    const std::string longer(3000, 'x');
    const std::string cut = Formatted({}, "%s", longer.c_str());
    EXPECT_EQ(cut.size(), kLogLineLength - 1);
    EXPECT_EQ(cut.substr(cut.size() - 3), "x\r\n");

    struct Case {
        std::uint64_t logBytes;
        std::size_t lineBytes;
        bool rotates;
    };
    for (const Case& c :
         {Case{0, 2000, false}, Case{kLogRotateBytes - 100, 100, false},
          Case{kLogRotateBytes - 100, 101, true}, Case{kLogRotateBytes + 5, 1, true}}) {
        EXPECT_EQ(LogNeedsRotation(c.logBytes, c.lineBytes), c.rotates) << c.logBytes;
    }
}

class LogFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fresh_world::Reset();
        fake::SetEnvironment(L"LOCALAPPDATA", kLocalAppData);
        fake::AddFolder(kLocalAppData);
        SetLogRotation(true);
    }
};

TEST_F(LogFileTest, CreatesTheFolderAppendsLinesAndBeginsAnewPastOneMebibyte) {
    LogEvent("Quorvane %s started.", "1.0.0");
    EXPECT_TRUE(fake::FolderExists(kFolder));
    LogEvent("Bridge started.");
    EXPECT_EQ(fake::FileBytes(kLog),
              "2026-12-09 22:31:05.123 Quorvane 1.0.0 started.\r\n"
              "2026-12-09 22:31:05.123 Bridge started.\r\n");

    // A turned-away copy that finds the log full only appends: had it moved the log aside too,
    // the first copy's next move would have put a fresh log in place of the older one.
    fake::SetFile(kOlderLog, "the log before the last");
    const std::string full = std::string(kLogRotateBytes - 50, 'a') + "\r\n";
    fake::SetFile(kLog, full);
    SetLogRotation(false);
    LogEvent("A second copy was turned away.");
    const std::string fuller = full + "2026-12-09 22:31:05.123 A second copy was turned away.\r\n";
    EXPECT_EQ(fake::FileBytes(kOlderLog), "the log before the last");
    EXPECT_EQ(fake::FileBytes(kLog), fuller);
    SetLogRotation(true);
    LogEvent("Pace.");
    EXPECT_EQ(fake::FileBytes(kOlderLog), fuller);
    EXPECT_EQ(fake::FileBytes(kLog), "2026-12-09 22:31:05.123 Pace.\r\n");
    EXPECT_EQ(fake::LiveOtherHandleCount(), 0u);
}

// Every way the log can fail loses the line and nothing else: no handle stays open, and the
// next line is written once the log can be written again.
TEST_F(LogFileTest, ALogThatCannotBeWrittenLosesTheLineAndHoldsNothing) {
    struct Case {
        const char* what;
        fake::Call call;
        DWORD error;
    };
    const Case cases[] = {
        {"folder refused", fake::Call::CreateDirectoryW, ERROR_ACCESS_DENIED},
        {"file refused", fake::Call::CreateFileW, ERROR_SHARING_VIOLATION},
        {"disk full", fake::Call::WriteFile, ERROR_DISK_FULL},
        {"variable unreadable", fake::Call::ExpandEnvironmentStringsW, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake::SetFile(kLog, "");
        fake::FailNext(c.call, 1, c.error);
        EXPECT_FALSE(AppendToLog("lost\r\n", 6));
        EXPECT_EQ(fake::LiveOtherHandleCount(), 0u);
        EXPECT_TRUE(AppendToLog("kept\r\n", 6));
        EXPECT_EQ(fake::FileBytes(kLog), "kept\r\n");
    }

    // The older log cannot be replaced: the line still goes into the log.
    fake::SetFile(kLog, std::string(kLogRotateBytes, 'a'));
    fake::FailNext(fake::Call::MoveFileExW, 1, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(AppendToLog("kept\r\n", 6));
    EXPECT_EQ(fake::FileBytes(kLog).size(), kLogRotateBytes + 6);

    // A file where the folder should be, and no LOCALAPPDATA at all.
    fresh_world::Reset();
    fake::AddFolder(kLocalAppData);
    fake::SetEnvironment(L"LOCALAPPDATA", kLocalAppData);
    fake::SetFile(kFolder, "");
    EXPECT_FALSE(AppendToLog("lost\r\n", 6));
    fresh_world::Reset();
    wchar_t folder[kLogPathLength];
    EXPECT_FALSE(LogFolderPath(folder));
    EXPECT_FALSE(AppendToLog("lost\r\n", 6));
    EXPECT_EQ(fake::LiveOtherHandleCount(), 0u);
}

// ---- The kept option and the one-copy rule -----------------------------------------------------

TEST(SettingsTest, OnlyADwordOfOneTurnsTheOptionOn) {
    struct Case {
        DWORD type;
        std::string bytes;
        bool on;
    };
    const Case cases[] = {
        {REG_DWORD, std::string("\1\0\0\0", 4), true},
        {REG_DWORD, std::string(4, '\0'), false},
        {REG_DWORD, std::string("\2\0\0\0", 4), false},
        {1 /* REG_SZ */, "1", false},
        {REG_DWORD, std::string("\1\0\0\0\0", 5), false},
        {3 /* REG_BINARY */, std::string("\1\0\0\0", 4), false},
    };
    for (const Case& c : cases) {
        fresh_world::Reset();
        fake::SetRegistryValue(L"Software\\Quorvane", L"ReconnectAutomatically", c.type, c.bytes);
        EXPECT_EQ(ReadReconnectAutomatically(), c.on) << c.bytes.size();
    }
    fresh_world::Reset();
    EXPECT_FALSE(ReadReconnectAutomatically()) << "absent";
    EXPECT_TRUE(WriteReconnectAutomatically(true));
    EXPECT_TRUE(ReadReconnectAutomatically());
    fake::FailNext(fake::Call::RegQueryValueExW, 1, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(ReadReconnectAutomatically()) << "denied";
    fake::FailNext(fake::Call::RegSetValueExW, 1, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WriteReconnectAutomatically(false));
    EXPECT_TRUE(ReadReconnectAutomatically()) << "kept as it was";
    fake::FailNext(fake::Call::RegCreateKeyExW, 1, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WriteReconnectAutomatically(false));
    EXPECT_EQ(fake::LiveOtherHandleCount(), 0u) << "every key closed";
}

TEST(SingleInstanceTest, TheFirstCopyKeepsTheMutexAndASecondOneIsTurnedAway) {
    fresh_world::Reset();
    EXPECT_TRUE(ClaimSingleInstance());
    EXPECT_TRUE(fake::MutexExists(L"Local\\Quorvane"));
    EXPECT_FALSE(ClaimSingleInstance()) << "a second claim in the same session";
    EXPECT_EQ(fake::LiveOtherHandleCount(), 1u) << "the second copy's handle closed";

    fresh_world::Reset();
    fake::HoldMutexAsOtherProcess(L"Local\\Quorvane");
    EXPECT_FALSE(ClaimSingleInstance());
    fresh_world::Reset();
    fake::FailNext(fake::Call::CreateMutexW, 1, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(ClaimSingleInstance()) << "made by a copy with other rights";
    fake::FailNext(fake::Call::CreateMutexW, 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_TRUE(ClaimSingleInstance()) << "nothing known of a first copy: run";
}

// The turned-away copy's line says what it found and what Windows made of each request.
TEST_F(LogFileTest, ASecondCopyLogsWhatBringingTheFirstForwardCameTo) {
    struct Case {
        bool window;
        bool iconic;
        DWORD showError;  // 0: ShowWindowAsync does as asked
        bool frontRefused;
        int shownWith;
        const char* outcome;  // the line, after "Quorvane runs already"
    };
    const Case cases[] = {
        {false, false, 0, false, 0, ", but its window was not found."},
        {true, true, 0, false, SW_RESTORE,
         "; its window was found, restoring it was posted, and it came to the front."},
        {true, false, ERROR_ACCESS_DENIED, true, 0,
         "; its window was found, showing it was refused (error 5), and Windows kept another "
         "window in front."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outcome);
        fake::SetFile(kLog, "");
        HWND first = nullptr;
        if (c.window) first = fake::AddWindow("QUORVANE");
        fake::SetIconic(first, c.iconic);
        if (c.showError != 0) fake::FailNext(fake::Call::ShowWindowAsync, 1, c.showError);
        if (c.frontRefused) fake::FailNext(fake::Call::SetForegroundWindow);
        BringFirstCopyForward(kStandInWindows, L"QUORVANE");
        EXPECT_EQ(fake::FileBytes(kLog),
                  std::string("2026-12-09 22:31:05.123 A second copy was started and turned "
                              "away: Quorvane runs already") +
                      c.outcome + "\r\n");
        EXPECT_EQ(fake::LastShowCommand(first), c.shownWith);
        EXPECT_EQ(fake::ForegroundWindow(), c.window && !c.frontRefused ? first : nullptr);
        fake::RemoveWindow(first);
    }
}

}  // namespace
