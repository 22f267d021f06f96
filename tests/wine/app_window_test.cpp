// Quorvane.exe with neither the simulator module nor the add-on running: the window, its
// status, the About box and the ways to end the program.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "app/real_windows.h"
#include "app/resource_ids.h"
#include "bridge/bridge.h"
#include "panel/panel.h"
#include "sdk/sdk.h"
#include "shell/dpi.h"
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
    {BridgePhase::Connecting, LINK_OK, false, 0, -1, false},                 // connecting
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

// Every panel the program can show: the three lines together, each panel once.
std::vector<PanelLines> EveryPanel() {
    static std::uint8_t stateBlock[kStateViewSize];
    g_link.moduleVersion = g_link.simulatorId = UINT32_MAX;
    g_bridge.cyclesRun = kWidestCount;
    g_bridge.lastCommandCode = INT32_MIN;
    g_bridge.lastCommandParameter = -1.2345678901234e+308;
    RetrySchedule retry{true, true, UINT32_MAX, {23, 59, 59}};
    std::vector<PanelLines> panels;
    std::set<std::string> seen;
    for (const PanelState& state : kPanelStates) {
        g_sdk.stateView = state.addonFound ? stateBlock : nullptr;
        g_bridge.commandsForwarded = state.commandsForwarded;
        retry.waiting = state.waiting;
        const bool anyCode = state.status == kAnyFailure;
        for (const DWORD lastError : kLastErrors) {
            g_link.lastSendError = lastError;
            for (LinkResult code = state.status; code <= (anyCode ? kLastCode : state.status);
                 ++code) {
                PanelLines panel;
                ComposePanel({state.phase, code, state.cyclesPerSecond, &retry}, panel);
                const std::string key =
                    std::string(panel.module) + '\n' + panel.addon + '\n' + panel.bridge;
                if (seen.insert(key).second) panels.push_back(panel);
            }
        }
    }
    g_sdk.stateView = nullptr;
    return panels;
}

// The system's message font at 96 DPI: the tests scale its height in pixels to the window's
// DPI, not by the program's own way to its font.
LOGFONTW MessageFontAt96Dpi() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, kBaseDpi);
    return metrics.lfMessageFont;
}

// Every panel the program can show, set into Quorvane's lines one after the other, fits.
void ExpectEveryPanelToFit(const QuorvaneProcess& quorvane, UINT dpi) {
    for (const PanelLines& panel : EveryPanel()) {
        quorvane.ShowPanel(panel.module, panel.addon, panel.bridge);
        EXPECT_TRUE(PanelFits(quorvane.MeasurePanel())) << dpi << " DPI:\n"
                                                        << panel.module << "\n"
                                                        << panel.addon << "\n"
                                                        << panel.bridge;
    }
}

// At the display scale and in the message font the prefix gives (96 DPI and Wine's own font in
// the usual run; ctest runs it again from 110 to 288 DPI, and in DejaVu Sans 9, which runs wider
// and taller than Windows' Segoe UI 9): the window is 300 wide scaled, at least 200 tall scaled,
// its lines in the system's message font at the window's DPI, and every panel the program can
// show, set into its lines, is laid out to fit.
TEST_F(QuorvaneAlone, WindowAndEverySentenceFitTheDisplayScale) {
    SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    QuorvaneProcess quorvane;
    ASSERT_TRUE(quorvane.Start());
    ASSERT_TRUE(quorvane.WaitForWindow());
    ASSERT_TRUE(WaitUntil(  // the panel is laid out and shows its first lines
        [&] { return GetWindowTextLengthW(GetDlgItem(quorvane.window(), IDC_PANEL_BRIDGE)) > 0; },
        5000));
    const UINT dpi = SystemDpi(kRealWindows);
    ASSERT_EQ(DpiOfWindow(kRealWindows, quorvane.window()), dpi)
        << "the window is not aware of the DPI";
    RECT frame{};
    GetWindowRect(quorvane.window(), &frame);
    EXPECT_EQ((std::vector<LONG>{frame.left, frame.top, frame.right - frame.left}),
              (std::vector<LONG>{100, 100, ScaleForDpi(300, dpi)}))
        << dpi << " DPI";
    EXPECT_GE(frame.bottom - frame.top, ScaleForDpi(200, dpi)) << dpi << " DPI";

    const LOGFONTW expected = MessageFontAt96Dpi();
    wchar_t face[LF_FACESIZE] = L"";
    if (GetEnvironmentVariableW(L"QUORVANE_TEST_MESSAGE_FONT", face, LF_FACESIZE) > 0) {
        ASSERT_STREQ(expected.lfFaceName, face) << "the prefix does not give the font asked for";
    }
    const PanelMeasure shown = quorvane.MeasurePanel();
    for (const MeasuredLine& line : shown.lines) {
        EXPECT_NEAR(line.font.lfHeight, MulDiv(expected.lfHeight, static_cast<int>(dpi), kBaseDpi),
                    1)
            << dpi << " DPI";
        EXPECT_STREQ(line.font.lfFaceName, expected.lfFaceName);
    }

    ExpectEveryPanelToFit(quorvane, dpi);
}

// Told it moved to a monitor at 200 %, the window takes its width there, its lines the message
// font for that scale, and every panel fits again.
TEST_F(QuorvaneAlone, FollowsItsWindowToAnotherScale) {
    QuorvaneProcess quorvane;
    ASSERT_TRUE(quorvane.Start());
    ASSERT_TRUE(quorvane.WaitForWindow());
    ASSERT_TRUE(WaitUntil(
        [&] { return GetWindowTextLengthW(GetDlgItem(quorvane.window(), IDC_PANEL_BRIDGE)) > 0; },
        5000));
    constexpr UINT kDpi = 2 * kBaseDpi;
    const PanelMeasure moved = quorvane.MeasurePanel(kDpi);
    RECT frame{};
    GetWindowRect(quorvane.window(), &frame);
    EXPECT_EQ(frame.right - frame.left, ScaleForDpi(300, kDpi));
    EXPECT_GE(frame.bottom - frame.top, ScaleForDpi(200, kDpi));
    EXPECT_NEAR(moved.lines[0].font.lfHeight,
                MulDiv(MessageFontAt96Dpi().lfHeight, static_cast<int>(kDpi), kBaseDpi), 1);
    EXPECT_TRUE(PanelFits(moved));
    ExpectEveryPanelToFit(quorvane, kDpi);
}

}  // namespace
