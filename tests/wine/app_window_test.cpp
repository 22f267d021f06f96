// Quorvane.exe with neither the simulator module nor the add-on running: the window, its
// status, the About box and the ways to end the program.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "app/dpi.h"
#include "app/resource_ids.h"
#include "bridge/bridge.h"
#include "panel/panel.h"
#include "sdk/sdk.h"
#include "simlink/simlink.h"
#include "tests/wine/app_process.h"
#include "tests/wine/stand_in_fixture.h"

namespace {

constexpr DWORD kExitTimeoutMs = 5000;

// Quorvane alone; a module is started only to see that nothing reaches it.
using QuorvaneAlone = StandInTest;

// With neither side, the window opens and stays, not minimised, saying "Status: NOT OK" and
// nothing else; nothing is tried again, so a module that starts afterwards gets no exchange.
// Closing the window ends the program with 0.
TEST_F(QuorvaneAlone, ShowsNotOkNeverTriesAgainAndEndsWithZeroWhenClosed) {
    QuorvaneProcess quorvane;
    ASSERT_TRUE(quorvane.Start());
    ASSERT_TRUE(quorvane.WaitForWindow());

    EXPECT_EQ(quorvane.StatusText(), L"Status: NOT OK");
    EXPECT_FALSE(IsIconic(quorvane.window()));
    wchar_t title[64] = L"";
    GetWindowTextW(quorvane.window(), title, 64);
    EXPECT_STREQ(title, L"Quorvane");
    const DWORD style = static_cast<DWORD>(GetWindowLongW(quorvane.window(), GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
              static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u);
    RECT frame{};
    GetWindowRect(quorvane.window(), &frame);
    EXPECT_EQ((std::vector<LONG>{frame.left, frame.top, frame.right - frame.left,
                                 frame.bottom - frame.top}),
              (std::vector<LONG>{100, 100, 300, 200}));

    ASSERT_TRUE(StartModule());
    Sleep(500);
    EXPECT_EQ(ExchangeCount(offsets_), 0u);
    EXPECT_EQ(quorvane.StatusText(), L"Status: NOT OK");
    const std::vector<TracedStatus> trace = quorvane.Trace();
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(trace[0].text, L"Status: NOT OK");

    PostMessageW(quorvane.window(), WM_CLOSE, 0, 0);
    DWORD exitCode = 1;
    ASSERT_TRUE(quorvane.WaitForExit(kExitTimeoutMs, exitCode));
    EXPECT_EQ(exitCode, 0u);
}

// The About box opens from the Help menu's command and from Alt+"?", and OK closes it; Exit
// from the File menu ends the program with 0.
TEST_F(QuorvaneAlone, AboutBoxOpensFromMenuAndKeyboardAndExitEndsWithZero) {
    QuorvaneProcess quorvane;
    ASSERT_TRUE(quorvane.Start());
    ASSERT_TRUE(quorvane.WaitForWindow());
    ASSERT_EQ(quorvane.FindAboutBox(), nullptr);

    PostMessageW(quorvane.window(), WM_COMMAND, IDM_ABOUT, 0);
    ASSERT_TRUE(WaitUntil([&] { return quorvane.FindAboutBox() != nullptr; }, 3000))
        << "command 104";
    HWND about = quorvane.FindAboutBox();
    EXPECT_FALSE(IsWindowEnabled(quorvane.window())) << "the About box is modal";
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return quorvane.FindAboutBox() == nullptr; }, 3000)) << "OK";
    EXPECT_TRUE(IsWindowEnabled(quorvane.window()));

    quorvane.TypeAltQuestionMark();
    ASSERT_TRUE(WaitUntil([&] { return quorvane.FindAboutBox() != nullptr; }, 3000)) << "Alt+?";
    // Escape (the dialog's Cancel) closes it as well.
    PostMessageW(quorvane.FindAboutBox(), WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntil([&] { return quorvane.FindAboutBox() == nullptr; }, 3000)) << "Cancel";

    PostMessageW(quorvane.window(), WM_COMMAND, IDM_EXIT, 0);
    DWORD exitCode = 1;
    ASSERT_TRUE(quorvane.WaitForExit(kExitTimeoutMs, exitCode));
    EXPECT_EQ(exitCode, 0u);
}

// Every state the panel can show, with the widest numbers each can hold. Each row is composed
// with every reason the link can give (any code, any last error that changes the sentence).
struct PanelState {
    BridgePhase phase;
    LinkResult status;
    bool addonFound;  // the add-on's views are mapped (a failed read of the block after connecting)
    std::uint64_t commandsForwarded;
    double cyclesPerSecond;
    bool waiting;  // the automatic reconnect waits for its next try
};
constexpr std::uint64_t kWidestCount = 999'999'999'999;
constexpr LinkResult kAnyFailure = 1;  // stands for every code from 1 to well past the last
const PanelState kPanelStates[] = {
    {BridgePhase::NotStarted, LINK_OK, true, 0, -1, false},                  // LOADING
    {BridgePhase::NotStarted, STATUS_SDK_UNAVAILABLE, false, 0, -1, false},  // no add-on
    {BridgePhase::NotStarted, STATUS_SDK_UNAVAILABLE, false, 0, -1, true},
    {BridgePhase::NotStarted, kAnyFailure, false, 0, -1, false},  // no module
    {BridgePhase::NotStarted, kAnyFailure, false, 0, -1, true},
    {BridgePhase::NotStarted, kAnyFailure, true, 0, -1, false},  // lost right after connecting
    {BridgePhase::Running, LINK_OK, true, 0, -1, false},
    {BridgePhase::Running, LINK_OK, true, 1, 1000, false},
    {BridgePhase::Running, LINK_OK, true, kWidestCount, 1000, false},
    {BridgePhase::Stopped, kAnyFailure, true, 0, -1, false},  // lost while running
    {BridgePhase::Stopped, kAnyFailure, true, 0, -1, true},
};
constexpr DWORD kLastErrors[] = {0, ERROR_ACCESS_DENIED, ERROR_TIMEOUT};
constexpr LinkResult kLastCode = 200;

// Every panel the program can show: the three lines together.
std::vector<PanelLines> EveryPanel() {
    static std::uint8_t stateBlock[kStateViewSize];
    g_link.moduleVersion = g_link.simulatorId = UINT32_MAX;
    g_bridge.cyclesRun = kWidestCount;
    g_bridge.lastCommandCode = INT32_MIN;
    g_bridge.lastCommandParameter = -1.2345678901234e+308;
    RetrySchedule retry{true, true, UINT32_MAX, {23, 59, 59}};
    std::vector<PanelLines> panels;
    for (const PanelState& state : kPanelStates) {
        g_sdk.stateView = state.addonFound ? stateBlock : nullptr;
        g_bridge.commandsForwarded = state.commandsForwarded;
        retry.waiting = state.waiting;
        const bool anyCode = state.status == kAnyFailure;
        for (const DWORD lastError : kLastErrors) {
            g_link.lastSendError = lastError;
            for (LinkResult code = state.status; code <= (anyCode ? kLastCode : state.status);
                 ++code) {
                panels.emplace_back();
                ComposePanel({state.phase, code, state.cyclesPerSecond, &retry}, panels.back());
            }
        }
    }
    g_sdk.stateView = nullptr;
    return panels;
}

// At the display scale the prefix gives (96 DPI in the usual run; ctest runs it again at 120,
// 144 and 192): the window is 300 x 200 scaled, and every panel fits above the status bar in the
// program's own font, its lines stacked with the window's margins, with a tenth of the width and
// a quarter of each line's height to spare: Windows' UI font runs wider and taller than Wine's.
TEST_F(QuorvaneAlone, WindowAndEverySentenceFitTheDisplayScale) {
    SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    QuorvaneProcess quorvane;
    ASSERT_TRUE(quorvane.Start());
    ASSERT_TRUE(quorvane.WaitForWindow());
    ASSERT_TRUE(WaitUntil(  // the panel is laid out and shows its first lines
        [&] { return GetWindowTextLengthW(GetDlgItem(quorvane.window(), IDC_PANEL_BRIDGE)) > 0; },
        5000));
    const UINT dpi = SystemDpi();
    ASSERT_EQ(DpiOfWindow(quorvane.window()), dpi) << "the window is not aware of the DPI";
    RECT frame{};
    GetWindowRect(quorvane.window(), &frame);
    EXPECT_EQ((std::vector<LONG>{frame.left, frame.top, frame.right - frame.left,
                                 frame.bottom - frame.top}),
              (std::vector<LONG>{100, 100, ScaleForDpi(300, dpi), ScaleForDpi(200, dpi)}))
        << dpi << " DPI";

    // The room as the window lays it out: the first line's top is the margin.
    RECT first{};
    GetWindowRect(GetDlgItem(quorvane.window(), IDC_PANEL_MODULE), &first);
    RECT bar{};
    GetWindowRect(quorvane.statusBar(), &bar);
    const int margin = first.top - [&] {
        POINT origin{0, 0};
        ClientToScreen(quorvane.window(), &origin);
        return origin.y;
    }();
    const int width = (first.right - first.left) * 9 / 10;
    const int height = bar.top - first.top - margin;

    const HFONT font = CreateMessageFont(dpi);
    ASSERT_NE(font, nullptr);
    const HDC screen = GetDC(nullptr);
    const HGDIOBJ previous = SelectObject(screen, font);
    for (const PanelLines& panel : EveryPanel()) {
        int needed = 2 * margin;
        for (const char* text : {panel.module, panel.addon, panel.bridge}) {
            RECT line{0, 0, width, 0};
            DrawTextA(screen, text, -1, &line, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            needed += line.bottom * 5 / 4;
        }
        EXPECT_LE(needed, height) << dpi << " DPI, " << width << " x " << height << ":\n"
                                  << panel.module << "\n"
                                  << panel.addon << "\n"
                                  << panel.bridge;
    }
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    DeleteObject(font);
}

}  // namespace
