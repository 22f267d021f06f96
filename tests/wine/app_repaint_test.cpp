// Quorvane beside a simulator whose module answers only between its frames, as the real one
// does: the window thread spends most of each cycle waiting for the answer, and must still get
// to the paint that a person's window laid bare; and the pace it keeps beside it. Its own
// executable, so that it runs alone: ctest -R app_repaint_tests.
#include <windows.h>

#include <cstdint>
#include <string>

#include "app/resource_ids.h"
#include "tests/wine/app_process.h"
#include "tests/wine/stand_in_fixture.h"
#include "tools/appwindow/repaint_probe.h"

namespace {

constexpr DWORD kStartTimeoutMs = 10000;
constexpr int kInvalidations = 20;
constexpr DWORD kBetweenInvalidationsMs = 150;
constexpr DWORD kRepaintGiveUpMs = 500;

class QuorvaneBesideABusySimulator : public StandInTest {
  protected:
    // The module started with `moduleArguments`, the scripted add-on, and Quorvane through its
    // LOADING to "Status: OK".
    ::testing::AssertionResult StartBeside(const char* moduleArguments) {
        if (!StartModule(moduleArguments) || !StartAddon("--script")) {
            return ::testing::AssertionFailure() << "the stand-ins did not start";
        }
        if (!quorvane_.Start() || !quorvane_.WaitForWindow() ||
            !quorvane_.WaitForTraceLength(2, kStartTimeoutMs) ||
            quorvane_.Trace()[1].text != std::wstring(L"Status: OK")) {
            return ::testing::AssertionFailure() << "Quorvane did not come to Status: OK";
        }
        return ::testing::AssertionSuccess();
    }

    void Exit() {
        PostMessageW(quorvane_.window(), WM_COMMAND, IDM_EXIT, 0);
        DWORD exitCode = 1;
        EXPECT_TRUE(quorvane_.WaitForExit(5000, exitCode));
    }

    QuorvaneProcess quorvane_;
};

// The About box runs its own modal loop on the window thread while the cycles go on: each of
// twenty invalidations from outside is painted within half a second, and the cycles did not stop
// for it (at least one exchange between two invalidations). OK still closes the box.
TEST_F(QuorvaneBesideABusySimulator, AboutBoxRepaintsAgainstASimulatorBusyWithFrames) {
    ASSERT_TRUE(StartBeside("--frame-ms 25"));
    QuorvaneProcess& quorvane = quorvane_;

    PostMessageW(quorvane.window(), WM_COMMAND, IDM_ABOUT, 0);
    // The dialog shows itself once its loop first finds the queue empty.
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(quorvane.FindAboutBox()) != 0; }, 3000))
        << "a hidden box is never painted";
    const HWND about = quorvane.FindAboutBox();
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
    Exit();
}

// Exchanges and the module's frames over `ms` of running.
struct Pace {
    std::uint32_t exchanges;
    std::uint32_t frames;
};
Pace PaceOver(const OffsetsView& offsets, DWORD ms) {
    const std::uint32_t exchanges = ExchangeCount(offsets);
    const std::uint32_t frames = FrameCount(offsets);
    Sleep(ms);
    return {ExchangeCount(offsets) - exchanges, FrameCount(offsets) - frames};
}

// Against a module that answers at once the pace never runs ahead of the clock: a timer that
// never resets would flood the module at a full core.
TEST_F(QuorvaneBesideABusySimulator, NeverAheadOfTheClock) {
    ASSERT_TRUE(StartBeside(""));
    const Pace pace = PaceOver(offsets_, 2000);
    EXPECT_LE(pace.exchanges, 250u) << "more than 125 a second";
    EXPECT_GE(pace.exchanges, 150u) << "the clock does not hold 10 ms";
    Exit();
}

// Against a module that answers between frames, one exchange to nearly every frame.
TEST_F(QuorvaneBesideABusySimulator, OneExchangeToNearlyEveryFrame) {
    ASSERT_TRUE(StartBeside("--frame-ms 25"));
    const Pace pace = PaceOver(offsets_, 2000);
    EXPECT_GE(pace.exchanges * 10, pace.frames * 9) << pace.frames << " frames";
    Exit();
}

// Every wake of the message loop handles every message that came meanwhile: against a module
// that takes 15 ms an exchange, three hundred waiting messages, then the About box, which opens
// at once instead of after one message a tick.
TEST_F(QuorvaneBesideABusySimulator, WaitingMessagesAreHandledAllAtOnce) {
    ASSERT_TRUE(StartBeside("--delay-ms 15"));
    for (int i = 0; i < 300; ++i) PostMessageW(quorvane_.window(), WM_NULL, 0, 0);
    PostMessageW(quorvane_.window(), WM_COMMAND, IDM_ABOUT, 0);
    EXPECT_TRUE(WaitUntil([&] { return quorvane_.FindAboutBox() != nullptr; }, 1000));
    PostMessageW(quorvane_.FindAboutBox(), WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return quorvane_.FindAboutBox() == nullptr; }, 3000)) << "OK";
    Exit();
}

}  // namespace
