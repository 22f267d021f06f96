// Quorvane.exe with neither the simulator module nor the add-on running: the window, its
// status, the About box and the ways to end the program.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/resource_ids.h"
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

}  // namespace
