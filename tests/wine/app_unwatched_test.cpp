// Quorvane.exe left to itself: the automatic reconnect kept per user, one copy per session, and
// the log that tells afterwards what happened. The timers' messages are sent from here where
// waiting for them would only cost minutes: a retry timer's tick is the automatic try itself.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/resource_ids.h"
#include "tests/wine/app_paths.h"
#include "tests/wine/app_process.h"
#include "tests/wine/stand_in_fixture.h"

namespace {

constexpr DWORD kStartTimeoutMs = 15000;
constexpr wchar_t kOptionKey[] = L"Software\\Quorvane";
constexpr wchar_t kOptionValue[] = L"ReconnectAutomatically";

std::wstring Expanded(const wchar_t* text) {
    wchar_t path[MAX_PATH] = L"";
    ExpandEnvironmentStringsW(text, path, MAX_PATH);
    return path;
}

const std::wstring kLogFolder = Expanded(L"%LOCALAPPDATA%\\Quorvane");
const std::wstring kLogPath = kLogFolder + L"\\Quorvane.log";

class QuorvaneUnwatched : public StandInTest {
  protected:
    // Each test begins with no log and the option as a new user has it: absent.
    void SetUp() override {
        DeleteFileW(kLogPath.c_str());
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kOptionKey, kOptionValue);
    }
    void TearDown() override {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kOptionKey, kOptionValue);
        StandInTest::TearDown();
    }

    static void KeepOption(DWORD value) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kOptionKey, kOptionValue, REG_DWORD, &value,
                                  sizeof value),
                  ERROR_SUCCESS);
    }
    static DWORD KeptOption() {
        DWORD value = 0xFFFF;
        DWORD size = sizeof value;
        RegGetValueW(HKEY_CURRENT_USER, kOptionKey, kOptionValue, RRF_RT_REG_DWORD, nullptr, &value,
                     &size);
        return value;
    }

    static std::string Log() {
        std::string text;
        if (std::FILE* file = _wfopen(kLogPath.c_str(), L"rb")) {
            char chunk[4096];
            for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
                text.append(chunk, got);
            }
            std::fclose(file);
        }
        return text;
    }
    static unsigned LogLinesWith(const std::string& words) {
        const std::string log = Log();
        unsigned count = 0;
        for (std::size_t at = log.find(words); at != std::string::npos;
             at = log.find(words, at + 1)) {
            ++count;
        }
        return count;
    }

    // The whole number after each place the log has `words`, in order.
    static std::vector<unsigned long long> NumbersAfter(const std::string& words) {
        const std::string log = Log();
        std::vector<unsigned long long> numbers;
        for (std::size_t at = log.find(words); at != std::string::npos;
             at = log.find(words, at + 1)) {
            numbers.push_back(std::strtoull(log.c_str() + at + words.size(), nullptr, 10));
        }
        return numbers;
    }

    std::wstring BridgeLine() const { return quorvane_.PanelLine(IDC_PANEL_BRIDGE); }
    bool BridgeLineSays(const wchar_t* words) const {
        return WaitUntil([&] { return BridgeLine().find(words) != std::wstring::npos; }, 3000);
    }

    // Sent, so that it returns once Quorvane has carried it out.
    void Send(UINT message, WPARAM wParam) const {
        DWORD_PTR result = 0;
        ASSERT_NE(
            SendMessageTimeoutW(quorvane_.window(), message, wParam, 0, SMTO_BLOCK, 30000, &result),
            0);
    }

    void Exit() const {
        PostMessageW(quorvane_.window(), WM_COMMAND, IDM_EXIT, 0);
        DWORD exitCode = 1;
        ASSERT_TRUE(quorvane_.WaitForExit(5000, exitCode));
        EXPECT_EQ(exitCode, 0u);
    }

    QuorvaneProcess quorvane_;
};

// Kept on, the option makes Quorvane try 5 s after each failed try, with the panel saying when
// and how often; off and on again from the menu, kept each time. Fifty tries hold nothing but
// the last link, log nothing while the reason stays the same, and once the add-on is there the
// next try brings OK without a key press.
TEST_F(QuorvaneUnwatched, WithTheOptionOnItTriesUntilBothSidesAreThere) {
    ASSERT_NO_FATAL_FAILURE(KeepOption(1));
    ASSERT_TRUE(StartModule());
    ASSERT_TRUE(quorvane_.Start());
    ASSERT_TRUE(quorvane_.WaitForWindow());
    EXPECT_TRUE(BridgeLineSays(L"Bridge: waiting; the next automatic try is at "));
    EXPECT_TRUE(BridgeLineSays(L", 0 tries so far."));

    // The first automatic try: as long after the start's NOT OK as the delay, and the same again.
    ASSERT_TRUE(quorvane_.WaitForTraceLength(2, kStartTimeoutMs));
    const std::vector<TracedStatus> trace = quorvane_.Trace();
    EXPECT_EQ(trace[1].text, L"Status: NOT OK");
    EXPECT_GE(trace[1].tickMs - trace[0].tickMs, 4900u);
    EXPECT_LT(trace[1].tickMs - trace[0].tickMs, 9000u);
    EXPECT_TRUE(BridgeLineSays(L", 1 try so far."));

    ASSERT_NO_FATAL_FAILURE(Send(WM_COMMAND, IDM_RECONNECT_AUTOMATICALLY));
    EXPECT_EQ(KeptOption(), 0u);
    EXPECT_TRUE(BridgeLineSays(L"Bridge: not started"));
    ASSERT_NO_FATAL_FAILURE(Send(WM_COMMAND, IDM_RECONNECT_AUTOMATICALLY));
    EXPECT_EQ(KeptOption(), 1u);
    EXPECT_TRUE(BridgeLineSays(L"Bridge: waiting"));

    constexpr std::uint32_t kTries = 50;
    for (std::uint32_t i = 0; i < kTries; ++i)
        ASSERT_NO_FATAL_FAILURE(Send(WM_TIMER, kRetryTimerId));
    std::uint32_t tries = 0;
    const std::wstring line = BridgeLine();
    ASSERT_EQ(std::swscanf(line.c_str() + line.find(L", ") + 2, L"%u tries", &tries), 1)
        << line.c_str();
    ASSERT_GE(tries, kTries);
    const std::uint32_t lastOpen = tries + 1;  // the start's link, then one per try
    for (std::uint32_t open = 1; open < lastOpen; ++open) {
        ASSERT_FALSE(quorvane_.BufferNameHeld(open)) << "link " << open;
    }
    EXPECT_TRUE(quorvane_.BufferNameHeld(lastOpen));
    EXPECT_EQ(LogLinesWith("Status: NOT OK"), 1u) << Log();

    const std::size_t traced = quorvane_.Trace().size();
    ASSERT_TRUE(StartAddon("--script"));
    ASSERT_TRUE(
        WaitUntil([&] { return quorvane_.StatusText() == L"Status: OK"; }, kStartTimeoutMs));
    EXPECT_EQ(quorvane_.Trace()[traced].text, L"Status: LOADING");
    EXPECT_TRUE(IsIconic(quorvane_.window()));
    EXPECT_TRUE(BridgeLineSays(L" per second, "));

    // The log's pace line, due every 10 minutes, and the exit's.
    Sleep(1000);
    ASSERT_NO_FATAL_FAILURE(Send(WM_TIMER, kLogTimerId));
    ASSERT_NO_FATAL_FAILURE(Exit());
    EXPECT_EQ(LogLinesWith("Connect automatically, try "), 1u) << Log();
    for (const char* words : {" started on Windows ", "Connect at start: Status: NOT OK",
                              "Option \"Reconnect automatically\" turned off.",
                              "Status: OK | Simulator module: connected",
                              "Bridge started. Clock: high-resolution timer.",
                              " per second, longest gap ", "Quorvane exits after "}) {
        EXPECT_EQ(LogLinesWith(words), 1u) << words << "\n" << Log();
    }
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
    EXPECT_EQ(std::sscanf(Log().c_str(), "%4u-%2u-%2u %2u:%2u:%2u.%3u Quorvane ", &year, &month,
                          &day, &hour, &minute, &second, &ms),
              7);
    EXPECT_EQ(LogLinesWith("\r\n"), LogLinesWith("\n"));
}

// Two bridges, each stopped by its module going away, one begun by File > Reconnect: the exit's
// total is the cycles of both, not only of the last.
TEST_F(QuorvaneUnwatched, TheExitCountsTheCyclesOfEveryBridge) {
    ASSERT_TRUE(StartAddon("--script"));
    for (std::size_t bridge = 1; bridge <= 2; ++bridge) {
        ASSERT_TRUE(StartModule());
        if (bridge == 1) {
            ASSERT_TRUE(quorvane_.Start());
            ASSERT_TRUE(quorvane_.WaitForWindow());
        } else {
            ASSERT_NO_FATAL_FAILURE(Send(WM_COMMAND, IDM_RECONNECT));
        }
        ASSERT_TRUE(
            WaitUntil([&] { return quorvane_.StatusText() == L"Status: OK"; }, kStartTimeoutMs));
        Sleep(500);
        CloseOffsetsView(offsets_);  // else the module's space would outlive it
        module_.Stop();
        ASSERT_TRUE(
            WaitUntil([&] { return NumbersAfter("Bridge stopped after ").size() == bridge; },
                      kStartTimeoutMs))
            << Log();
    }
    ASSERT_NO_FATAL_FAILURE(Exit());
    const std::vector<unsigned long long> runs = NumbersAfter("Bridge stopped after ");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_GT(runs[0], 0u);
    EXPECT_EQ(NumbersAfter("Quorvane exits after "),
              std::vector<unsigned long long>{runs[0] + runs[1]})
        << Log();
}

// A simulator that is loading or frozen: its window answers nothing. Each automatic try asks it
// for at most a quarter of a second, so Quorvane's window answers within 1 s throughout; the
// panel and the log (once) say why, and once the module answers again, OK follows by itself.
TEST_F(QuorvaneUnwatched, ASilentModuleNeverHoldsTheWindowAndOkFollowsOnceItAnswers) {
    ASSERT_NO_FATAL_FAILURE(KeepOption(1));
    ASSERT_TRUE(StartModule());
    ASSERT_TRUE(quorvane_.Start());
    ASSERT_TRUE(quorvane_.WaitForWindow());
    ASSERT_EQ(quorvane_.StatusText(), L"Status: NOT OK");
    const HANDLE moduleThread = SuspendModule();
    ASSERT_NE(moduleThread, nullptr);

    unsigned unanswered = 0;
    for (int probe = 0; probe < 30 * 4; ++probe) {
        DWORD_PTR result = 0;
        unanswered +=
            SendMessageTimeoutW(quorvane_.window(), WM_NULL, 0, 0, SMTO_BLOCK, 1000, &result) == 0;
        Sleep(250);
    }
    const std::wstring moduleLine = quorvane_.PanelLine(IDC_PANEL_MODULE);
    ASSERT_TRUE(StartAddon("--script"));
    ResumeModule(moduleThread);
    EXPECT_EQ(unanswered, 0u);
    EXPECT_EQ(moduleLine, L"Simulator module: not answering; it may be loading or frozen.");
    EXPECT_TRUE(
        WaitUntil([&] { return quorvane_.StatusText() == L"Status: OK"; }, kStartTimeoutMs));
    ASSERT_NO_FATAL_FAILURE(Exit());
    EXPECT_EQ(LogLinesWith("Simulator module: not answering"), 1u) << Log();
}

// A second copy, started while the first says NOT OK, opens neither side (no handshake reaches
// the module), restores the first one's window, logs so, and ends with 0 within 2 s; a code posted
// once the first runs is forwarded once.
TEST_F(QuorvaneUnwatched, ASecondCopyEndsAtOnceAndBringsTheFirstForward) {
    ASSERT_TRUE(StartModule());
    ASSERT_TRUE(quorvane_.Start());
    ASSERT_TRUE(quorvane_.WaitForWindow());
    ASSERT_TRUE(quorvane_.WaitForTraceLength(1, 10000)) << "the connect, after the window shows";
    ASSERT_EQ(ExchangeCount(offsets_), 1u);
    ShowWindow(quorvane_.window(), SW_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(quorvane_.window()) != 0; }, 3000));

    ChildProcess second;
    ASSERT_TRUE(second.Start(kQuorvaneExePath, L""));
    ASSERT_TRUE(second.WaitForExit(2000));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(quorvane_.window()) == 0; }, 3000));
    EXPECT_EQ(ExchangeCount(offsets_), 1u) << "the second copy reached the module";
    EXPECT_EQ(LogLinesWith("A second copy was started and turned away: Quorvane runs already; "
                           "its window was found, restoring it was posted, and "),
              1u)
        << Log();

    ASSERT_TRUE(StartAddon("--script"));
    ASSERT_NO_FATAL_FAILURE(Send(WM_COMMAND, IDM_RECONNECT));
    ASSERT_EQ(quorvane_.StatusText(), L"Status: OK");
    const std::int16_t code = 4321;
    WriteOffsets(offsets_, 0x9400, &code, sizeof code);
    ASSERT_TRUE(addon_.WaitForOutput("command 4321 parameter 0\n")) << addon_.Output();
    Sleep(500);
    const std::string output = addon_.Output();
    EXPECT_EQ(output.find("command 4321 "), output.rfind("command 4321 ")) << output;
    ASSERT_NO_FATAL_FAILURE(Exit());
}

// A shutdown or sign-out while the bridge runs: Windows may end the process as soon as the
// message returns, so by then the log has its exit line with the cycles run, and the link is let
// go, as Exit would do. The window goes too, and the exit line is not written twice.
TEST_F(QuorvaneUnwatched, TheSessionsEndIsLoggedAndLetsGoOfBothSides) {
    ASSERT_TRUE(StartModule());
    ASSERT_TRUE(StartAddon("--script"));
    ASSERT_TRUE(quorvane_.Start());
    ASSERT_TRUE(quorvane_.WaitForWindow());
    ASSERT_TRUE(
        WaitUntil([&] { return quorvane_.StatusText() == L"Status: OK"; }, kStartTimeoutMs));
    const std::uint32_t exchanges = ExchangeCount(offsets_);
    ASSERT_TRUE(WaitUntil([&] { return ExchangeCount(offsets_) > exchanges + 20; }, 5000));

    ASSERT_NO_FATAL_FAILURE(Send(WM_ENDSESSION, TRUE));
    EXPECT_FALSE(quorvane_.BufferNameHeld(1));
    const std::vector<unsigned long long> exits = NumbersAfter("Quorvane exits after ");
    ASSERT_EQ(exits.size(), 1u) << Log();
    EXPECT_GT(exits[0], 0u) << "the cycles run";
    DWORD exitCode = 1;
    EXPECT_TRUE(quorvane_.WaitForExit(5000, exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(LogLinesWith("Quorvane exits after "), 1u) << Log();
}

// A file where the log's folder should be: nothing can be logged, and the bridge runs as ever.
TEST_F(QuorvaneUnwatched, ALogThatCannotBeWrittenDoesNotStopTheBridge) {
    DeleteFileW((kLogFolder + L"\\Quorvane.log.1").c_str());
    RemoveDirectoryW(kLogFolder.c_str());
    const HANDLE blocker = CreateFileW(kLogFolder.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(blocker, INVALID_HANDLE_VALUE) << "the folder could not be replaced";
    CloseHandle(blocker);

    ASSERT_TRUE(StartModule());
    ASSERT_TRUE(StartAddon("--script"));
    ASSERT_TRUE(quorvane_.Start());
    ASSERT_TRUE(quorvane_.WaitForWindow());
    const bool ok =
        WaitUntil([&] { return quorvane_.StatusText() == L"Status: OK"; }, kStartTimeoutMs);
    const std::uint32_t exchanges = ExchangeCount(offsets_);
    const bool cycles = WaitUntil([&] { return ExchangeCount(offsets_) > exchanges + 50; }, 5000);
    Exit();
    DeleteFileW(kLogFolder.c_str());
    EXPECT_TRUE(ok);
    EXPECT_TRUE(cycles);
}

}  // namespace
