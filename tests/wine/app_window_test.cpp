// Quorvane.exe with neither the simulator module nor the add-on running: the window, its
// status, the About box and the ways to end the program.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <string>
#include <vector>

#include "app/dpi.h"
#include "app/resource_ids.h"
#include "bridge/bridge.h"
#include "panel/panel.h"
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
    std::uint64_t commandsForwarded;
};
constexpr std::uint64_t kWidestCount = 999'999'999'999;
const PanelState kPanelStates[] = {
    {BridgePhase::NotStarted, LINK_OK, 0},                 // LOADING
    {BridgePhase::NotStarted, STATUS_SDK_UNAVAILABLE, 0},  // no add-on
    {BridgePhase::NotStarted, LINK_NO_SIMULATOR, 0},       // every reason, below
    {BridgePhase::Running, LINK_OK, 0},
    {BridgePhase::Running, LINK_OK, 1},
    {BridgePhase::Running, LINK_OK, kWidestCount},
    {BridgePhase::Stopped, LINK_SEND_FAILED, 0},  // every reason when lost
};
constexpr DWORD kLastErrors[] = {0, ERROR_ACCESS_DENIED, ERROR_TIMEOUT};
constexpr LinkResult kLastCode = 200;  // well past the last link result

// Every line the panel can show, by control: [0] module, [1] add-on, [2] bridge.
std::vector<std::string> EveryPanelLine(int control) {
    g_link.moduleVersion = g_link.simulatorId = UINT32_MAX;
    g_bridge.cyclesRun = kWidestCount;
    g_bridge.lastCommandCode = INT32_MIN;
    g_bridge.lastCommandParameter = -1.2345678901234e+308;
    std::vector<std::string> lines;
    for (const PanelState& state : kPanelStates) {
        g_bridge.commandsForwarded = state.commandsForwarded;
        for (const DWORD lastError : kLastErrors) {
            g_link.lastSendError = lastError;
            const bool failed = state.status != LINK_OK && state.status != STATUS_SDK_UNAVAILABLE;
            const LinkResult first = failed ? 1 : state.status;
            for (LinkResult code = first; code <= (failed ? kLastCode : first); ++code) {
                PanelLines composed;
                ComposePanel({state.phase, code}, composed);
                const char* texts[] = {composed.module, composed.addon, composed.bridge};
                lines.push_back(texts[control]);
            }
        }
    }
    return lines;
}

// At the display scale the prefix gives (96 DPI in the usual run; ctest runs it again at 120,
// 144 and 192): the window is 300 x 200 scaled, and every line fits its control in the
// program's own font with a tenth of the width to spare, as Windows' UI font runs wider.
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

    const HFONT font = CreateMessageFont(dpi);
    ASSERT_NE(font, nullptr);
    const HDC screen = GetDC(nullptr);
    const HGDIOBJ previous = SelectObject(screen, font);
    RECT bar{};
    GetWindowRect(quorvane.statusBar(), &bar);
    const int ids[] = {IDC_PANEL_MODULE, IDC_PANEL_ADDON, IDC_PANEL_BRIDGE};
    for (int control = 0; control < 3; ++control) {
        const HWND line = GetDlgItem(quorvane.window(), ids[control]);
        RECT room{};
        GetWindowRect(line, &room);
        EXPECT_LE(room.bottom, bar.top) << "line " << control << " under the status bar";
        GetClientRect(line, &room);
        for (const std::string& text : EveryPanelLine(control)) {
            RECT needed{0, 0, room.right * 9 / 10, 0};
            DrawTextA(screen, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            EXPECT_LE(needed.bottom, room.bottom)
                << dpi << " DPI, " << room.right << " x " << room.bottom << ": " << text;
        }
    }
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    DeleteObject(font);
}

}  // namespace
