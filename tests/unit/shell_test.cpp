// The shell's decisions, against the fake world and a stand-in Windows: what a shutdown, a second
// copy, a refused Windows call and a frame Windows draws otherwise than foreseen come to.
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/log_file.h"
#include "log/log_line.h"
#include "shell/dpi.h"
#include "shell/panel_layout.h"
#include "tests/fresh_world/fresh_world.h"
#include "tests/unit/cycle_world.h"
#include "tests/unit/stand_in_windows.h"

namespace {

constexpr wchar_t kLocalAppData[] = L"C:\\Users\\pilot\\AppData\\Local";
constexpr wchar_t kLog[] = L"C:\\Users\\pilot\\AppData\\Local\\Quorvane\\Quorvane.log";
constexpr wchar_t kOlderLog[] = L"C:\\Users\\pilot\\AppData\\Local\\Quorvane\\Quorvane.log.1";
HWND const kWindow = reinterpret_cast<HWND>(0x1234);

// A fresh process beside a running module (unless `withModule` is false) and add-on, its log
// folder in place.
void FreshProcess(bool withModule = true) {
    if (g_shell.clock.running()) g_shell.clock.Stop(kWindow);
    ResetShellState();
    fresh_world::Reset();
    stand_in::Reset();
    SetLogRotation(false);
    fake::SetEnvironment(L"LOCALAPPDATA", kLocalAppData);
    fake::AddFolder(kLocalAppData);
    fake::CreateBlockAsOtherProcess(cycle_world::kStateBlock, kStateViewSize);
    fake::CreateBlockAsOtherProcess(cycle_world::kCommandBlock, kCommandViewSize);
    if (!withModule) return;
    fake::StartModule();
    cycle_world::PostCode(-1);
}

// Started, shown, through its LOADING: the bridge runs.
void RunningBridge() {
    FreshProcess();
    ASSERT_TRUE(ShellBegin(kStandInWindows, L"QUORVANE"));
    ASSERT_EQ(ShellWindowShown(kWindow).then, ThenStep::ConnectNow);
    ASSERT_EQ(ShellConnect().then, ThenStep::PauseThenRun);
    ASSERT_EQ(std::wstring(ShellLoadingEnded().status), L"Status: OK");
}

bool LogHas(const std::string& words) {
    return fake::FileBytes(kLog).find(words) != std::string::npos;
}

// Only a session that really ends ends Quorvane: a shutdown that another program cancelled
// leaves the bridge running, its sides held and the log without an exit line.
TEST(ShellTest, OnlyASessionThatEndsEndsTheBridge) {
    for (const bool ending : {false, true}) {
        SCOPED_TRACE(ending ? "ending" : "cancelled");
        ASSERT_NO_FATAL_FAILURE(RunningBridge());
        const ShellActions actions = ShellSessionEnds(ending);
        EXPECT_EQ(actions.destroyWindow, ending);
        EXPECT_EQ(g_shell.clock.running(), !ending);
        EXPECT_EQ(LogHas("Quorvane exits after"), ending);
        EXPECT_EQ(fake::LiveViewCount() == 0, ending) << "both sides let go";
        EXPECT_EQ(ShellTick().status, nullptr) << "a cycle, or none, that fails nothing";
    }
}

// Only the copy that holds the one-copy mutex moves a full log aside: a second copy that did so
// would put the first one's fresh log in place of the older one.
TEST(ShellTest, OnlyTheFirstCopyMovesAFullLogAside) {
    for (const bool first : {true, false}) {
        SCOPED_TRACE(first ? "first copy" : "second copy");
        FreshProcess();
        fake::AddFolder(L"C:\\Users\\pilot\\AppData\\Local\\Quorvane");
        const std::string full(kLogRotateBytes - 10, 'a');
        fake::SetFile(kLog, full);
        if (!first) fake::HoldMutexAsOtherProcess(L"Local\\Quorvane");
        EXPECT_EQ(ShellBegin(kStandInWindows, L"QUORVANE"), first);
        EXPECT_EQ(fake::FileExists(kOlderLog), first);
        if (first) {
            EXPECT_EQ(fake::FileBytes(kOlderLog), full);
            EXPECT_TRUE(LogHas("started on Windows 10.0.19045, process")) << fake::FileBytes(kLog);
        } else {
            EXPECT_TRUE(LogHas("A second copy was started and turned away"));
        }
    }
    // A Windows that does not tell its version still gets its start line.
    FreshProcess();
    stand_in::g_answers.version = false;
    ASSERT_TRUE(ShellBegin(kStandInWindows, L"QUORVANE"));
    EXPECT_TRUE(LogHas("started on Windows 0.0.0, process"));
}

// Help > Open Log Folder: COM is given back only when it was taken, and a folder that cannot be
// opened says so instead of doing nothing.
TEST(ShellTest, OpeningTheLogFolderBalancesComAndSaysWhenItFails) {
    struct Case {
        bool com, opens;
        int comEnded;
        std::size_t warnings;
    };
    for (const Case& c :
         {Case{true, true, 1, 0}, Case{false, true, 0, 0}, Case{true, false, 1, 1}}) {
        SCOPED_TRACE(testing::Message() << c.com << c.opens);
        ASSERT_NO_FATAL_FAILURE(RunningBridge());
        stand_in::g_answers.com = c.com;
        stand_in::g_answers.folderOpens = c.opens;
        ShellOpenLogFolder();
        EXPECT_EQ(stand_in::g_record.foldersOpened, 1);
        EXPECT_EQ(stand_in::g_record.comEnded, c.comEnded);
        EXPECT_EQ(stand_in::g_record.warnings.size(), c.warnings);
    }
}

// Each lookup that an older Windows lacks falls back to what that Windows has: a font at the
// wrong scale would draw every line too small or clip it.
TEST(ShellTest, TheDisplayScaleFallsBackWhereWindowsLacksACall) {
    stand_in::Reset();
    auto& answers = stand_in::g_answers;
    answers.systemDpi = 120;
    answers.windowDpi = 144;
    EXPECT_EQ(DpiOfWindow(kStandInWindows, kWindow), 144u);
    answers.windowDpi = 0;
    EXPECT_EQ(DpiOfWindow(kStandInWindows, kWindow), 120u) << "before 10 1607: the system's";
    answers.systemDpi = 0;
    answers.screenDpi = 168;
    EXPECT_EQ(SystemDpi(kStandInWindows), 168u) << "before 10 1607: the screen's";
    answers.screenDpi = 0;
    EXPECT_EQ(SystemDpi(kStandInWindows), kBaseDpi);

    LOGFONTW font{};
    answers.fontForDpi = false;
    answers.screenDpi = 96;
    ASSERT_TRUE(MessageFontForDpi(kStandInWindows, 144, font));
    EXPECT_EQ(font.lfHeight, -18) << "the system DPI's font, scaled to the window's";
    answers.systemFont = false;
    EXPECT_FALSE(MessageFontForDpi(kStandInWindows, 144, font));

    answers.frameForDpi = false;
    const RECT frame = WindowRectForClient(kStandInWindows, 100, 0, 0, 144);
    EXPECT_EQ(frame.bottom - frame.top, 141) << "the system DPI's frame";
}

// A window whose frame and lines a test decides: its frame is `extraFrame` pixels taller than
// foreseen (a menu bar wrapped into two rows), each line's words need `rows` rows of 16 pixels
// at any width.
class StandInPanelWindow final : public PanelWindow {
  public:
    int extraFrame = 0;
    int rows[kPanelLineCount] = {1, 1, 1};
    RECT window{100, 100, 100, 100};
    RECT lines[kPanelLineCount]{};
    int resizes = 0;

    bool Minimised() override { return false; }
    int TextHeight(int line, int) override { return 16 * rows[line]; }
    RECT WindowRect() override { return window; }
    RECT ClientRect() override {
        const int width = window.right - window.left - 2;
        const int height = window.bottom - window.top - 41 - extraFrame;
        return {0, 0, width > 0 ? width : 0, height > 0 ? height : 0};
    }
    int StatusBarHeight() override { return 22; }
    void Resize(int width, int height) override {
        ++resizes;
        window.right = window.left + width;
        window.bottom = window.top + height;
    }
    void PlaceLine(int line, const RECT& place) override { lines[line] = place; }
};

// However the frame comes out, every line is as tall as its words and above the status bar;
// where Windows foresaw it rightly, a change of text costs one resize at the most.
TEST(ShellTest, EveryLineFitsWhateverFrameWindowsDraws) {
    const RECT foreseen{-1, -40, 1, 1};  // the stand-in's AdjustWindowRectEx of a height of 0
    for (const int extraFrame : {0, 19, 40}) {
        SCOPED_TRACE(extraFrame);
        StandInPanelWindow window;
        window.extraFrame = extraFrame;
        window.rows[0] = 9;  // taller than the window of 200 holds
        PanelPlacement placement{};
        ASSERT_TRUE(LayOutPanelLines(window, foreseen, kBaseDpi, placement));
        const RECT client = window.ClientRect();
        for (int i = 0; i < kPanelLineCount; ++i) {
            EXPECT_GE(window.lines[i].bottom - window.lines[i].top, 16 * window.rows[i]) << i;
        }
        EXPECT_LE(window.lines[2].bottom, client.bottom - 22) << "over the status bar";
        EXPECT_EQ(window.window.right - window.window.left, 300);

        window.resizes = 0;
        window.rows[1] = 2;
        ASSERT_TRUE(LayOutPanelLines(window, foreseen, kBaseDpi, placement));
        EXPECT_EQ(window.resizes, 1) << "the window grows once for the line's second row";
        EXPECT_GE(window.lines[1].bottom - window.lines[1].top, 32);
        EXPECT_GE(window.lines[2].top, window.lines[1].bottom) << "the line above overlaps it";
    }
}

// The size the window asks for before a move to a monitor of another scale is the size the
// layout keeps there: a window dragged across the border neither jumps nor flips back and forth.
TEST(ShellTest, TheSizeAskedBeforeAMoveIsTheSizeKeptAfterIt) {
    const RECT foreseen{-1, -40, 1, 1};
    for (const UINT dpi : {96u, 144u}) {
        SCOPED_TRACE(dpi);
        StandInPanelWindow window;
        window.rows[2] = 12;  // taller than the least height at these scales
        const PanelWindowSize asked = PanelWindowSizeAt(window, foreseen, dpi);
        window.Resize(asked.width, asked.height);
        window.resizes = 0;
        PanelPlacement placement{};
        ASSERT_TRUE(LayOutPanelLines(window, foreseen, dpi, placement));
        EXPECT_EQ(window.resizes, 0) << "the window jumps after the move";
    }
}

}  // namespace

namespace {

// A pace below 100 a second is the simulator's when its module answers slowly: the panel says so
// from 5 ms on, and stays as it was for a module that answers at once.
TEST(ShellTest, ThePanelSaysHowLongASlowModuleTakesToAnswer) {
    struct Case {
        DWORD answerMs;
        const char* rate;
    };
    for (const Case& c : {Case{25, " per second (the simulator module answers in 25 ms),"},
                          Case{2, " per second, no command"}}) {
        SCOPED_TRACE(c.answerMs);
        ASSERT_NO_FATAL_FAILURE(RunningBridge());
        fake::SetAfterExchangeHook([&](std::span<std::uint8_t>) { Sleep(c.answerMs); });
        for (int tick = 0; tick < 600; ++tick) ShellTick();
        EXPECT_NE(std::string(g_shell.panel.bridge).find(c.rate), std::string::npos)
            << g_shell.panel.bridge;
        fake::SetAfterExchangeHook(nullptr);
        ShellExit();
    }
}

}  // namespace

namespace {

// Quorvane runs minimised: a NOT OK flashes its taskbar button until the window is restored and
// marks the button until the status is OK again; a Windows without the taskbar's object, or
// whose taskbar never announced the button, still gets the flash. A start without a clock
// leaves the window in view, where its NOT OK can be read.
TEST(ShellTest, ANotOkShowsOnTheTaskbarOfAMinimisedWindow) {
    for (const bool list : {true, false}) {
        SCOPED_TRACE(list ? "with the taskbar's object" : "without it");
        ASSERT_NO_FATAL_FAILURE(RunningBridge());
        stand_in::g_answers.taskbarList = list;
        ShellTaskbarButtonCreated();
        ShellWindowSized(true);
        fake::TimeOutNextSends(9);
        EXPECT_EQ(std::wstring(ShellTick().status), L"Status: NOT OK");
        EXPECT_EQ(stand_in::g_record.flashes, std::vector<bool>{true});
        ShellWindowSized(false);
        EXPECT_EQ(stand_in::g_record.flashes, (std::vector<bool>{true, false}));
        ASSERT_EQ(ShellReconnect().then, ThenStep::ConnectNow);
        ASSERT_EQ(ShellConnect().then, ThenStep::PauseThenRun);
        ShellLoadingEnded();
        EXPECT_EQ(stand_in::g_record.marks,
                  list ? (std::vector<bool>{true, false}) : std::vector<bool>{});
        ShellExit();
        ShellWindowGone();
        EXPECT_EQ(stand_in::g_record.listsReleased, stand_in::g_record.listsMade);
        EXPECT_EQ(stand_in::g_record.comEnded, stand_in::g_record.comBegun);
    }
    FreshProcess();
    ASSERT_TRUE(ShellBegin(kStandInWindows, L"QUORVANE"));
    ShellWindowShown(kWindow);
    ShellConnect();
    stand_in::g_answers.clock = false;
    const ShellActions noClock = ShellLoadingEnded();
    EXPECT_FALSE(noClock.minimise) << "a NOT OK nobody sees";
    EXPECT_EQ(std::wstring(noClock.status), L"Status: NOT OK");
}

}  // namespace

namespace {

// The first cycle's line says what the mailbox held: a block nobody wrote, or a code posted
// while no bridge ran, which is forwarded once.
TEST(ShellTest, TheLogSaysWhatTheFirstCycleMadeOfTheMailbox) {
    struct Case {
        std::int16_t mailbox;
        const char* line;
    };
    for (const Case& c :
         {Case{0,
               "First cycle: the module's block was never written; its mailbox was marked empty."},
          Case{777,
               "First cycle: code 777, posted while the bridge was not running, was forwarded."}}) {
        SCOPED_TRACE(c.line);
        FreshProcess();
        cycle_world::PostCode(c.mailbox);
        ASSERT_TRUE(ShellBegin(kStandInWindows, L"QUORVANE"));
        ShellWindowShown(kWindow);
        ShellConnect();
        ShellLoadingEnded();
        ShellTick();
        ShellTick();
        const std::string log = fake::FileBytes(kLog);
        EXPECT_EQ(log.find(c.line), log.rfind(c.line)) << "once";
        EXPECT_NE(log.find(c.line), std::string::npos) << log;
        ShellExit();
    }
}

}  // namespace

namespace {

// Every connect that may hold the window (the start, File > Reconnect, an automatic try) is
// announced first, and the window paints it before the wait: not a stale "next automatic try"
// for the 19 s of a hung module's handshake.
TEST(ShellTest, EveryConnectIsAnnouncedBeforeTheWindowWaitsForIt) {
    FreshProcess(false);
    ASSERT_TRUE(ShellBegin(kStandInWindows, L"QUORVANE"));
    g_shell.retry.enabled = true;
    for (int connect = 0; connect < 3; ++connect) {
        SCOPED_TRACE(connect);
        const unsigned finds = fake::CallCount(fake::Call::FindWindowExA);
        const ShellActions announced = connect == 0   ? ShellWindowShown(kWindow)
                                       : connect == 1 ? ShellReconnect()
                                                      : ShellRetryTimer();
        EXPECT_EQ(announced.then, ThenStep::ConnectNow);
        EXPECT_TRUE(announced.panelChanged);
        EXPECT_STREQ(g_shell.panel.bridge,
                     "Bridge: connecting; the window waits until both sides answer.");
        EXPECT_EQ(fake::CallCount(fake::Call::FindWindowExA), finds) << "connected before it";
        EXPECT_EQ(std::wstring(ShellConnect().status), L"Status: NOT OK");
        g_shell.retry.enabled = true;
    }
}

}  // namespace
