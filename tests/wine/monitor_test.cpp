// The monitor as a person uses it, against the stand-in module: what it posts and turns must
// land in the module's space, counters wrapping as the bridge expects them to.
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/wine/stand_in_fixture.h"
#include "tools/monitor/block_view.h"
#include "tools/monitor/live_screen.h"

namespace {

class MonitorTest : public StandInTest {
  protected:
    // Runs monitor.exe to its end; its exit code.
    DWORD RunMonitor(const std::string& arguments) {
        if (!monitor_.Start("monitor.exe", arguments) || !monitor_.WaitForExit(20000)) return ~0u;
        return monitor_.ExitCode();
    }

    // The lines of the block as --once prints them, after its first line ("link open: ...").
    std::vector<std::string> FrameOnce() {
        EXPECT_EQ(RunMonitor("--once"), 0u) << monitor_.Output();
        std::istringstream text(monitor_.Output());
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        if (!lines.empty()) lines.erase(lines.begin());
        return lines;
    }

    // The module's block as it is now, laid out for a console `columns` wide.
    std::vector<std::string> FrameFor(std::size_t columns) const {
        BridgeBlock block{};
        ReadOffsets(offsets_, kBridgeBlockStart, block, sizeof block);
        std::istringstream text(BridgeBlockFrame(block, nullptr, columns));
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }

    void SetMailbox(std::int16_t code) { WriteOffsets(offsets_, 0x9400, &code, sizeof code); }
    std::int16_t Mailbox() const {
        std::int16_t code = 0;
        ReadOffsets(offsets_, 0x9400, &code, sizeof code);
        return code;
    }

    StandInProcess monitor_;
};

// monitor.exe in a console of its own, as a person starts it from a shortcut: this process
// attaches to that console to read its screen and to press Ctrl+C in it.
class ConsoleMonitor {
  public:
    ~ConsoleMonitor() {
        process_.End();
        for (const HANDLE handle : {screen_, input_}) {
            if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        }
        SetConsoleCtrlHandler(nullptr, FALSE);
        FreeConsole();
    }

    // Started in a console made for it, `columns` wide (80: narrower than a file's lines) by 50
    // rows (enough for all of them), in which Ctrl+C does not reach this process.
    bool Start(const std::string& arguments, SHORT columns = 80) {
        FreeConsole();
        if (!AllocConsole()) return false;
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        screen_ =
            CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        &inheritable, OPEN_EXISTING, 0, nullptr);
        input_ =
            CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        &inheritable, OPEN_EXISTING, 0, nullptr);
        const SMALL_RECT window = {0, 0, static_cast<SHORT>(columns - 1), 49};
        SetConsoleScreenBufferSize(screen_, {columns, 50});
        SetConsoleWindowInfo(screen_, TRUE, &window);

        const ChildProcess::StandardHandles handles{input_, screen_, screen_};
        const std::wstring path = Widened(ExecutableDirectory() + "monitor.exe");
        if (!process_.Start(path, Widened(arguments), &handles)) return false;
        SetConsoleCtrlHandler(nullptr, TRUE);
        return true;
    }

    // The rows of the console's window, each as wide as the buffer.
    std::vector<std::string> Rows() const {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        GetConsoleScreenBufferInfo(screen_, &info);
        std::vector<std::string> rows;
        for (SHORT y = info.srWindow.Top; y <= info.srWindow.Bottom; ++y) {
            std::string row(static_cast<std::size_t>(info.dwSize.X), ' ');
            DWORD read = 0;
            ReadConsoleOutputCharacterA(screen_, row.data(), static_cast<DWORD>(row.size()), {0, y},
                                        &read);
            rows.push_back(row);
        }
        return rows;
    }

    bool ShowsRow(std::size_t index, const std::string& start) const {
        return WaitUntil(
            [&] {
                const std::vector<std::string> rows = Rows();
                return index < rows.size() && rows[index].rfind(start, 0) == 0;
            },
            10000);
    }

    bool CursorVisible() const {
        CONSOLE_CURSOR_INFO cursor{};
        return GetConsoleCursorInfo(screen_, &cursor) && cursor.bVisible;
    }

    void PressCtrlC() const { GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0); }

    // Its exit code once it ended within `timeoutMs`, else STILL_ACTIVE.
    DWORD ExitCodeWithin(DWORD timeoutMs) const {
        process_.WaitForExit(timeoutMs);
        return process_.ExitCode();
    }

    // Whether its link's request buffer still has its global atom.
    bool BufferAtomHeld() const {
        char name[64];
        std::snprintf(name, sizeof name, "FsasmLib:IPC:%lX:1", process_.processId());
        return GlobalFindAtomA(name) != 0;
    }

  private:
    ChildProcess process_;
    HANDLE screen_ = INVALID_HANDLE_VALUE;
    HANDLE input_ = INVALID_HANDLE_VALUE;
};

TEST_F(MonitorTest, PostsCodesAndTurnsCountersAcrossTheWrap) {
    ASSERT_TRUE(StartModule());
    const std::uint8_t counter = 254;
    WriteOffsets(offsets_, 0x94F3, &counter, sizeof counter);
    SetMailbox(-1);  // as a bridge leaves it

    EXPECT_EQ(RunMonitor("--post 1000 --turn 3 5"), 0u) << monitor_.Output();
    std::uint8_t turned = 0;
    ReadOffsets(offsets_, 0x94F3, &turned, sizeof turned);
    EXPECT_EQ(Mailbox(), 1000);
    EXPECT_EQ(turned, 3);

    EXPECT_EQ(RunMonitor("--post -1 --force --turn 3 -4"), 0u) << monitor_.Output();
    ReadOffsets(offsets_, 0x94F3, &turned, sizeof turned);
    EXPECT_EQ(Mailbox(), -1);
    EXPECT_EQ(turned, 255);

    // An encoder that is not there is refused before the link opens.
    const std::uint32_t exchanges = ExchangeCount(offsets_);
    EXPECT_EQ(RunMonitor("--turn 8 1"), 2u) << monitor_.Output();
    EXPECT_EQ(ExchangeCount(offsets_), exchanges);
    EXPECT_GT(FrameOnce().size(), 20u) << "--once shows the block and ends";
}

// With no bridge running, a second post would wipe out the first: it is refused with exit code 4
// after 2 s of waiting, and one that the bridge makes room for during the wait goes through.
// A fresh module's block, all 0, holds 0, which no bridge took either.
TEST_F(MonitorTest, PostLeavesACodeNotTakenAloneAndWaitsForItToBeTaken) {
    ASSERT_TRUE(StartModule());
    EXPECT_EQ(RunMonitor("--post 100"), 4u);
    EXPECT_NE(monitor_.Output().find("the code 0 posted before was not taken yet: is Quorvane "
                                     "running?"),
              std::string::npos)
        << monitor_.Output();
    EXPECT_NE(monitor_.Output().find("is all 0"), std::string::npos) << monitor_.Output();

    SetMailbox(200);
    EXPECT_EQ(RunMonitor("--post 300"), 4u);
    EXPECT_NE(monitor_.Output().find("the code 200 posted before was not taken yet"),
              std::string::npos)
        << monitor_.Output();
    EXPECT_EQ(Mailbox(), 200);

    ASSERT_TRUE(monitor_.Start("monitor.exe", "--post 300"));
    Sleep(700);
    SetMailbox(-1);
    EXPECT_TRUE(monitor_.WaitForExit(10000));
    EXPECT_EQ(monitor_.ExitCode(), 0u) << monitor_.Output();
    EXPECT_EQ(Mailbox(), 300);
}

// What a user at a cockpit meets first: each outcome has its own exit code and says what to do.
TEST_F(MonitorTest, ExitCodesTellAMissingModuleFromAMistypedCommandLine) {
    EXPECT_EQ(RunMonitor(""), 3u);
    EXPECT_NE(monitor_.Output().find("No simulator module was found: start the simulator with its "
                                     "IPC module first, then run monitor again. (2)"),
              std::string::npos)
        << monitor_.Output();
    EXPECT_EQ(RunMonitor("--watch"), 2u);
    EXPECT_NE(monitor_.Output().find("--help"), std::string::npos) << monitor_.Output();
    EXPECT_EQ(RunMonitor("--once --watch 100"), 2u);
    EXPECT_EQ(RunMonitor("--help"), 0u);
    EXPECT_NE(monitor_.Output().find("Exit codes"), std::string::npos) << monitor_.Output();

    // The simulator's own window, without the module's marker behind it.
    ASSERT_TRUE(StartModule("--class FS98MAIN --version 0 --marker 0"));
    EXPECT_EQ(RunMonitor("--once"), 3u);
    EXPECT_NE(monitor_.Output().find("IPC module does not answer: install or enable it, then run "
                                     "monitor again. (14)"),
              std::string::npos)
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

// A program reading the live view or the brief lines through a pipe gets each reading whole as
// soon as it is taken, not one interval later; closing the input ends the wait at once, and
// the program with 0 (a wait that did not end would be cut off after 2 s with 1).
TEST_F(MonitorTest, WatchedReadingsReachAPipeAtOnce) {
    ASSERT_TRUE(StartModule());
    const std::vector<std::string> frame = FrameOnce();
    ASSERT_FALSE(frame.empty());
    const struct {
        const char* arguments;
        std::string firstReading;
    } views[] = {{"--watch 30000", frame.back() + "\n"}, {"--brief --watch 30000", "0.0 s  "}};
    for (const auto& view : views) {
        SCOPED_TRACE(view.arguments);
        ASSERT_TRUE(monitor_.Start("monitor.exe", view.arguments));
        EXPECT_TRUE(monitor_.WaitForOutput(view.firstReading, 10000)) << monitor_.Output();
        const ULONGLONG stopped = GetTickCount64();
        monitor_.Stop();
        EXPECT_LT(GetTickCount64() - stopped, 2000u);
        EXPECT_EQ(monitor_.ExitCode(), 0u);
    }
}

// On a console each row holds one line of the reading, laid out for the console's 80 columns,
// and the cursor hidden while it draws shows again however the view ends: at its
// time, by Ctrl+C in a long wait between readings, or by Ctrl+C while an exchange hangs (the
// module's window thread stopped). Then the link's atom, which outlives a process, is gone too.
TEST_F(MonitorTest, ConsoleViewKeepsItsRowsAndGivesBackCursorAndLink) {
    ASSERT_TRUE(StartModule());
    const std::vector<std::string> frame = FrameFor(80);
    struct Ending {
        const char* arguments;
        bool pressCtrlC;
        bool hangModule;
        DWORD exitCode;
    };
    const Ending endings[] = {
        {"--seconds 2", false, false, 0},
        {"--watch 60000", true, false, 0},
        {"--watch 100", true, true, 1},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.arguments);
        ConsoleMonitor monitor;
        ASSERT_TRUE(monitor.Start(ending.arguments));
        ASSERT_TRUE(monitor.ShowsRow(0, "reading "));
        const std::vector<std::string> rows = monitor.Rows();
        ASSERT_GT(rows.size(), frame.size());
        for (std::size_t i = 0; i < frame.size(); ++i) {
            std::string expected = frame[i];
            expected.resize(rows[i + 1].size(), ' ');
            EXPECT_EQ(rows[i + 1], expected) << "row " << i + 1;
        }
        EXPECT_EQ(rows[frame.size() + 1], std::string(rows[0].size(), ' '));
        EXPECT_FALSE(monitor.CursorVisible());
        HANDLE moduleThread = nullptr;
        if (ending.hangModule) {
            moduleThread = SuspendModule();
            ASSERT_NE(moduleThread, nullptr);
            Sleep(500);
        }
        if (ending.pressCtrlC) monitor.PressCtrlC();
        EXPECT_EQ(monitor.ExitCodeWithin(8000), ending.exitCode);
        if (moduleThread != nullptr) ResumeModule(moduleThread);
        EXPECT_TRUE(monitor.CursorVisible());
        EXPECT_FALSE(monitor.BufferAtomHeld());
    }
}

// --once in a console as wide as a file's lines: laid out to fit, one line a row, no blank row
// between two (a line as wide as the console moves the cursor on, and its newline again).
TEST_F(MonitorTest, OnceInAConsoleFitsItsWidthWithoutBlankRows) {
    ASSERT_TRUE(StartModule());
    const std::vector<std::string> frame = FrameFor(112);
    ConsoleMonitor monitor;
    ASSERT_TRUE(monitor.Start("--once", 112));
    EXPECT_EQ(monitor.ExitCodeWithin(10000), 0u);
    const std::vector<std::string> rows = monitor.Rows();
    ASSERT_GT(rows.size(), frame.size() + 1);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        std::string expected = frame[i];
        expected.resize(rows[i + 1].size(), ' ');
        EXPECT_EQ(rows[i + 1], expected) << "row " << i + 1;
    }
}

// The view is closed at its end and again by a forced end that comes later: the second close
// leaves the cursor where it is, so what is printed next does not overwrite the line the monitor
// printed below the view in between.
TEST(LiveScreenTest, ClosedTwiceLeavesTheLinePrintedBelowTheView) {
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    const HANDLE console =
        CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, console);
    LiveScreen screen = OpenLiveScreen();
    EXPECT_TRUE(screen.console);
    DrawFrame(screen, "one\ntwo\n");
    CloseLiveScreen(screen);
    DWORD written = 0;
    WriteConsoleA(console, "below\n", 6, &written, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO below{};
    GetConsoleScreenBufferInfo(console, &below);
    EXPECT_EQ(below.dwCursorPosition.Y, screen.origin.Y + 3);
    CloseLiveScreen(screen);
    CONSOLE_SCREEN_BUFFER_INFO after{};
    GetConsoleScreenBufferInfo(console, &after);
    EXPECT_EQ(after.dwCursorPosition.Y, below.dwCursorPosition.Y);
    SetStdHandle(STD_OUTPUT_HANDLE, output);
    CloseHandle(console);
    FreeConsole();
}

}  // namespace
