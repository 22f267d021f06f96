// Quorvane beside a simulator whose module answers only between its frames, as the real one
// does: the window thread spends most of each cycle waiting for the answer, and must still get
// to the paint that a person's window laid bare. Its own executable, so that it runs alone:
// ctest -R app_repaint_tests.
#include <windows.h>

#include <cstdint>

#include "app/resource_ids.h"
#include "tests/wine/app_process.h"
#include "tests/wine/stand_in_fixture.h"
#include "tools/appwindow/repaint_probe.h"

namespace {

using QuorvaneBesideABusySimulator = StandInTest;

constexpr DWORD kStartTimeoutMs = 10000;
constexpr int kInvalidations = 20;
constexpr DWORD kBetweenInvalidationsMs = 150;
constexpr DWORD kRepaintGiveUpMs = 500;

// The About box runs its own modal loop on the window thread while the cycles go on: each of
// twenty invalidations from outside is painted within half a second, and the cycles did not stop
// for it (at least one exchange between two invalidations). OK still closes the box.
TEST_F(QuorvaneBesideABusySimulator, AboutBoxRepaintsAgainstASimulatorBusyWithFrames) {
    ASSERT_TRUE(StartModule("--frame-ms 25"));
    ASSERT_TRUE(StartAddon("--script"));
    QuorvaneProcess quorvane;
    ASSERT_TRUE(quorvane.Start());
    ASSERT_TRUE(quorvane.WaitForWindow());
    ASSERT_TRUE(quorvane.WaitForTraceLength(2, kStartTimeoutMs));
    ASSERT_EQ(quorvane.Trace()[1].text, L"Status: OK");

    PostMessageW(quorvane.window(), WM_COMMAND, IDM_ABOUT, 0);
    ASSERT_TRUE(WaitUntil([&] { return quorvane.FindAboutBox() != nullptr; }, 3000));
    const HWND about = quorvane.FindAboutBox();
    ASSERT_TRUE(IsWindowVisible(about)) << "a hidden box is never painted";
    const std::uint32_t exchangesBefore = ExchangeCount(offsets_);
    int unpainted = 0;
    for (int i = 1; i <= kInvalidations; ++i) {
        Sleep(kBetweenInvalidationsMs);
        const double tookMs = RepaintMs(about, kRepaintGiveUpMs);
        if (tookMs < 0) ++unpainted;
        EXPECT_GE(tookMs, 0.0) << "invalidation " << i << " was not painted within "
                               << kRepaintGiveUpMs << " ms";
    }
    EXPECT_EQ(unpainted, 0) << "of " << kInvalidations << " invalidations";
    EXPECT_GE(ExchangeCount(offsets_) - exchangesBefore, static_cast<std::uint32_t>(kInvalidations))
        << "the cycles stopped while the About box was open";

    PostMessageW(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return quorvane.FindAboutBox() == nullptr; }, 3000)) << "OK";
    PostMessageW(quorvane.window(), WM_COMMAND, IDM_EXIT, 0);
    DWORD exitCode = 1;
    EXPECT_TRUE(quorvane.WaitForExit(5000, exitCode));
}

// Quorvane started beside the module started with `moduleArguments`: the exchanges it makes
// in 2 s of running, and the frames the module drew meanwhile.
struct Pace {
    std::uint32_t exchanges;
    std::uint32_t frames;
};
class QuorvanesPace : public StandInTest {
  protected:
    Pace PaceBeside(const char* moduleArguments) {
        Pace pace{};
        EXPECT_TRUE(StartModule(moduleArguments));
        EXPECT_TRUE(StartAddon("--script"));
        QuorvaneProcess quorvane;
        if (!quorvane.Start() || !quorvane.WaitForWindow() ||
            !quorvane.WaitForTraceLength(2, kStartTimeoutMs)) {
            ADD_FAILURE() << "Quorvane did not start";
            return pace;
        }
        const std::uint32_t exchanges = ExchangeCount(offsets_);
        const std::uint32_t frames = FrameCount(offsets_);
        Sleep(2000);
        pace = {ExchangeCount(offsets_) - exchanges, FrameCount(offsets_) - frames};
        PostMessageW(quorvane.window(), WM_COMMAND, IDM_EXIT, 0);
        DWORD exitCode = 1;
        EXPECT_TRUE(quorvane.WaitForExit(5000, exitCode));
        return pace;
    }
};

// Against a module that answers at once the pace never runs ahead of the clock: a timer that
// never resets would flood the module at a full core.
TEST_F(QuorvanesPace, NeverAheadOfTheClock) {
    const Pace pace = PaceBeside("");
    EXPECT_LE(pace.exchanges, 250u) << "more than 125 a second";
    EXPECT_GE(pace.exchanges, 150u) << "the clock does not hold 10 ms";
}

// Against a module that answers between frames, one exchange to nearly every frame.
TEST_F(QuorvanesPace, OneExchangeToNearlyEveryFrame) {
    const Pace pace = PaceBeside("--frame-ms 25");
    EXPECT_GE(pace.exchanges * 10, pace.frames * 9) << pace.frames << " frames";
    EXPECT_LE(pace.exchanges, 250u);
}

// Every wake of the message loop handles every message that came meanwhile: against a module
// that takes 15 ms an exchange, three hundred waiting messages, then the About box, which opens
// at once instead of after one message a tick.
TEST_F(QuorvaneBesideABusySimulator, WaitingMessagesAreHandledAllAtOnce) {
    ASSERT_TRUE(StartModule("--delay-ms 15"));
    ASSERT_TRUE(StartAddon("--script"));
    QuorvaneProcess quorvane;
    ASSERT_TRUE(quorvane.Start());
    ASSERT_TRUE(quorvane.WaitForWindow());
    ASSERT_TRUE(quorvane.WaitForTraceLength(2, kStartTimeoutMs));
    for (int i = 0; i < 300; ++i) PostMessageW(quorvane.window(), WM_NULL, 0, 0);
    PostMessageW(quorvane.window(), WM_COMMAND, IDM_ABOUT, 0);
    EXPECT_TRUE(WaitUntil([&] { return quorvane.FindAboutBox() != nullptr; }, 1000));
    PostMessageW(quorvane.FindAboutBox(), WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return quorvane.FindAboutBox() == nullptr; }, 3000)) << "OK";
    PostMessageW(quorvane.window(), WM_COMMAND, IDM_EXIT, 0);
    DWORD exitCode = 1;
    EXPECT_TRUE(quorvane.WaitForExit(5000, exitCode));
}

}  // namespace
