// The clock that paces the cycles, against a stand-in Windows: the best clock it gives is taken,
// a refusal falls back to the next, each tick arms the next 10 ms after the last, and every path
// of the shell that ends the cycles leaves no timer and gives the 1 ms resolution back once.
#include "shell/cycle_timer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "shell/bridge_run.h"
#include "shell/shell.h"
#include "tests/unit/cycle_world.h"

namespace {

HWND const kWindow = reinterpret_cast<HWND>(0x1234);

struct StandInWindows {
    std::string refused;         // the calls that fail, by name: "high-res waitable set wait ..."
    bool hasNewCalls = true;     // SetCoalescableTimer and SetProcessInformation, Windows 8 on
    std::vector<DWORD> optOuts;  // control masks; state mask not set
    std::vector<DWORD> timerFlags;  // of each waitable timer made
    int beginPeriods = 0, endPeriods = 0, handles = 0, windowTimers = 0, kills = 0;
    std::int64_t now = 1'000'000;    // the system clock, in units of 100 ns
    std::vector<std::int64_t> dues;  // each time the waitable timer was armed for
    std::uintptr_t nextHandle = 0x100;
} g_windows;

bool Refuses(const char* call) {
    return g_windows.refused.find(call) != std::string::npos;
}

UINT_PTR WINAPI SetCoalescableTimer(HWND window, UINT_PTR id, UINT periodMs, void*, DWORD delay) {
    const bool set = window == kWindow && id == 1 && periodMs == 10 && delay == 0xFFFFFFFF;
    g_windows.windowTimers += set && !Refuses("coalescable");
    return set && !Refuses("coalescable");
}

// As Windows 10: the timer-resolution flag is unknown there, error 87.
BOOL WINAPI SetProcessInformation(HANDLE, int informationClass, void* information, DWORD size) {
    PowerThrottlingState state;
    std::memcpy(&state, information, sizeof state);
    if (informationClass == 4 && size == 12 && state.version == 1 && state.stateMask == 0) {
        g_windows.optOuts.push_back(state.controlMask);
    }
    return state.controlMask != kThrottleIgnoreTimerResolution;
}

const PaceSystem kStandIn = {
    .findExport = [](const char* module, const char* name) -> void* {
        if (!g_windows.hasNewCalls) return nullptr;
        const std::string at = std::string(module) + "!" + name;
        if (at == "user32.dll!SetCoalescableTimer")
            return reinterpret_cast<void*>(SetCoalescableTimer);
        if (at == "kernel32.dll!SetProcessInformation") {
            return reinterpret_cast<void*>(SetProcessInformation);
        }
        return nullptr;
    },
    .setTimer = [](HWND window, UINT_PTR id, UINT periodMs) -> UINT_PTR {
        const bool set = window == kWindow && id == 1 && periodMs == 10 && !Refuses("settimer");
        return g_windows.windowTimers += set, set;
    },
    .killTimer = [](HWND, UINT_PTR id) -> BOOL { return g_windows.kills += id == 1; },
    .beginPeriod = [](UINT ms) -> UINT {
        if (Refuses("resolution")) return 97;  // TIMERR_NOCANDO
        return g_windows.beginPeriods += ms == 1, 0;
    },
    .endPeriod = [](UINT ms) -> UINT { return g_windows.endPeriods += ms == 1, 0; },
    .currentProcess = nullptr,
    .createWaitableTimer = [](DWORD flags) -> HANDLE {
        g_windows.timerFlags.push_back(flags);
        if (Refuses(flags == kCreateTimerHighResolution ? "high-res" : "waitable")) return nullptr;
        ++g_windows.handles;
        return reinterpret_cast<HANDLE>(g_windows.nextHandle += 4);
    },
    .setWaitableTimer = [](HANDLE, std::int64_t dueAt, LONG periodMs) -> BOOL {
        if (periodMs != 0 && Refuses("period")) return 0;  // as Windows 10 1809, error 87
        g_windows.dues.push_back(dueAt);
        return !Refuses("set");
    },
    .systemTime = [] { return g_windows.now; },
    .waitForTickOrInput =
        [](HANDLE timer) {
            if (Refuses("wait")) return ClockWake::Failed;
            return timer != nullptr ? ClockWake::Tick : ClockWake::Input;
        },
    .closeHandle = [](HANDLE) -> BOOL { return --g_windows.handles, 1; },
};

TEST(CycleTimerTest, AsksWindowsNotToThrottleItsTimersNorItsSpeed) {
    g_windows = {};
    CycleTimer timer{kStandIn};
    timer.OptOutOfThrottling();
    EXPECT_EQ(g_windows.optOuts,
              (std::vector<DWORD>{kThrottleIgnoreTimerResolution, kThrottleExecutionSpeed}));
    g_windows.hasNewCalls = false;  // before Windows 8: nothing to ask, nothing breaks
    timer.OptOutOfThrottling();
    EXPECT_EQ(g_windows.optOuts.size(), 2u);
}

// From the best clock down, each refusal falls back to the next; the resolution is asked for
// only below the high-resolution timer, and a start that finds no clock holds nothing and
// leaves the status NOT OK, saying why. A modal loop hands the pace to a window timer, which
// Windows ranks below input and paint, until the message loop waits again.
TEST(CycleTimerTest, TakesTheBestClockWindowsGivesAndFallsBackOnEachRefusal) {
    struct Case {
        const char* refused;
        CycleClock clock;
        int periods;  // resolution requests, each given back by the stop
    };
    const Case cases[] = {
        {"", CycleClock::HighResolutionTimer, 0},
        {"high-res", CycleClock::WaitableTimer, 1},
        {"set", CycleClock::WindowTimer, 1},
        {"high-res waitable", CycleClock::WindowTimer, 1},
        {"high-res waitable coalescable", CycleClock::WindowTimer, 1},
        {"high-res waitable resolution", CycleClock::WindowTimer, 0},
        {"high-res waitable coalescable settimer", CycleClock::None, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refused);
        g_windows = {};
        g_windows.refused = c.refused;
        CycleTimer& timer = g_shell.clock;
        timer.Use(kStandIn);
        g_shell.status = LINK_OK;
        EXPECT_EQ(StartCycles(kWindow), c.clock != CycleClock::None);
        EXPECT_EQ(g_shell.status,
                  c.clock == CycleClock::None ? LinkResult{STATUS_NO_CYCLE_CLOCK} : LINK_OK);
        EXPECT_EQ(timer.clock(), c.clock);
        EXPECT_EQ(g_windows.beginPeriods, c.periods);
        // Auto-reset, high-resolution first: a manual-reset timer would never stop ticking.
        EXPECT_EQ(g_windows.timerFlags.front(), kCreateTimerHighResolution);
        for (const DWORD flags : g_windows.timerFlags) EXPECT_EQ(flags & ~0x2u, 0u);
        const bool waitable =
            c.clock == CycleClock::HighResolutionTimer || c.clock == CycleClock::WaitableTimer;
        EXPECT_EQ(g_windows.handles, waitable ? 1 : 0);
        EXPECT_EQ(g_windows.windowTimers, c.clock == CycleClock::WindowTimer);
        if (waitable) {
            EXPECT_EQ(timer.WaitForTickOrInput(), ClockWake::Tick);
            timer.EnterModalLoop();
            timer.EnterModalLoop();
            EXPECT_EQ(g_windows.windowTimers, 1) << "a modal loop is paced by one window timer";
            EXPECT_EQ(timer.WaitForTickOrInput(), ClockWake::Tick);
            EXPECT_EQ(g_windows.kills, 1) << "and the message loop takes the pace back";
            g_windows.windowTimers = g_windows.kills = 0;
        }
        timer.Stop(kWindow);
        EXPECT_EQ((std::vector<int>{g_windows.endPeriods, g_windows.handles, g_windows.kills}),
                  (std::vector<int>{c.periods, 0, g_windows.windowTimers}));
    }
}

// Where Windows refuses the period, the waitable timer is armed one shot at a time, each due
// 10 ms after the last, whatever each wake cost: the pace keeps to the clock. A tick late by more
// than a period brings the next at once, never a burst to catch up. Where it takes the period,
// no tick costs a call.
TEST(CycleTimerTest, EachTickArmsTheNextTenMillisecondsAfterTheLast) {
    g_windows = {};
    CycleTimer periodic{kStandIn};
    ASSERT_TRUE(periodic.Start(kWindow));
    ASSERT_EQ(periodic.WaitForTickOrInput(), ClockWake::Tick);
    EXPECT_EQ(g_windows.dues.size(), 1u) << "armed again though it ticks by itself";
    periodic.Stop(kWindow);

    g_windows = {};
    g_windows.refused = "period";
    CycleTimer timer{kStandIn};
    ASSERT_TRUE(timer.Start(kWindow));
    EXPECT_EQ(timer.clock(), CycleClock::HighResolutionTimer);
    constexpr std::int64_t kMs = 10'000;
    const std::int64_t start = g_windows.now;
    for (const std::int64_t wokeAfterDue :
         {std::int64_t{3 * kMs}, std::int64_t{kMs}, std::int64_t{0}}) {
        g_windows.now = g_windows.dues.back() + wokeAfterDue;
        ASSERT_EQ(timer.WaitForTickOrInput(), ClockWake::Tick);
    }
    g_windows.now = g_windows.dues.back() + 35 * kMs;  // an exchange that waited for a frame
    ASSERT_EQ(timer.WaitForTickOrInput(), ClockWake::Tick);
    EXPECT_EQ(g_windows.dues,
              (std::vector<std::int64_t>{start + 10 * kMs, start + 20 * kMs, start + 30 * kMs,
                                         start + 40 * kMs, start + 75 * kMs}));

    // A wait that fails is a clock that failed: the window timer takes over.
    g_windows.refused = "wait";
    EXPECT_EQ(timer.WaitForTickOrInput(), ClockWake::Failed);
    ASSERT_TRUE(timer.FallBackToWindowTimer());
    EXPECT_EQ(timer.clock(), CycleClock::WindowTimer);
    EXPECT_EQ(g_windows.handles, 0);
    timer.Stop(kWindow);
    EXPECT_EQ(g_windows.beginPeriods, g_windows.endPeriods);
}

bool g_inModalLoop;  // the window thread is in the About box: a window timer's ticks come

// Delivers `ticks` ticks of the running clock to the shell, as the message loop and, in a modal
// loop or where a window timer is the clock, the window procedure do.
void DeliverTicks(int ticks) {
    for (int tick = 0; tick < ticks; ++tick) {
        if (g_shell.clock.clock() != CycleClock::WindowTimer && !g_inModalLoop) {
            ASSERT_EQ(g_shell.clock.WaitForTickOrInput(), ClockWake::Tick);
        }
        if (CycleDue()) RunDueCycle(kWindow);
    }
}

// Each way the shell ends the cycles, under each clock: the bridge's own paths, run against the
// fake module, stop the clock and give the resolution back once, however many of them follow
// one another, and no window timer or waitable timer is left behind.
TEST(CycleTimerTest, EveryWayOfStoppingGivesTheResolutionBackOnce) {
    enum Step { AboutBox, Lost, Reconnect, AutomaticTry, AutomaticTryToASilentModule, Exit };
    struct Path {
        const char* name;
        std::vector<Step> steps;
        int starts;  // clocks started, the first included
    };
    const Path paths[] = {
        {"module lost, then Exit", {Lost, Exit}, 1},
        {"module lost, File > Reconnect, then Exit", {Lost, Reconnect, Exit}, 2},
        {"module lost, silent, back, then Exit",
         {Lost, AutomaticTryToASilentModule, AutomaticTry, Exit},
         2},
        {"Exit, then the window's end", {Exit, Exit}, 1},
        {"About box, module lost, then Exit", {AboutBox, Lost, Exit}, 1},
        {"About box, then Exit and the window's end", {AboutBox, Exit, Exit}, 1},
    };
    for (const char* refused : {"", "high-res", "high-res waitable"}) {
        for (const Path& path : paths) {
            SCOPED_TRACE(std::string(path.name) + ", refused: " + refused);
            ASSERT_NO_FATAL_FAILURE(cycle_world::Open());
            g_windows = {};
            g_windows.refused = refused;
            g_shell.clock.Use(kStandIn);
            g_shell.status = LINK_OK;
            ASSERT_TRUE(StartCycles(kWindow));
            DeliverTicks(3);
            for (const Step step : path.steps) {
                switch (step) {
                    case AboutBox:
                        g_shell.clock.EnterModalLoop();
                        g_inModalLoop = true;
                        DeliverTicks(2);
                        break;
                    case Lost:
                        fake::TimeOutNextSends(9);
                        DeliverTicks(1);
                        EXPECT_EQ(g_shell.phase, BridgePhase::Stopped);
                        EXPECT_FALSE(g_shell.clock.running()) << "lost, and still ticking";
                        break;
                    case Reconnect:
                    case AutomaticTry:
                        ReconnectBothSides(kWindow, step == AutomaticTry);
                        ASSERT_EQ(g_shell.status, LINK_OK);
                        ASSERT_TRUE(StartCycles(kWindow));
                        g_shell.phase = BridgePhase::Running;
                        DeliverTicks(2);
                        break;
                    case AutomaticTryToASilentModule:
                        fake::TimeOutNextSends(1);
                        ReconnectBothSides(kWindow, true);
                        EXPECT_EQ(g_shell.status, STATUS_MODULE_NOT_ANSWERING);
                        break;
                    case Exit:
                        StopBridgeForExit(kWindow);
                        break;
                }
            }
            const int periods = *refused == '\0' ? 0 : path.starts;
            EXPECT_FALSE(g_shell.clock.running());
            EXPECT_EQ(
                (std::vector<int>{g_windows.beginPeriods, g_windows.endPeriods, g_windows.handles}),
                (std::vector<int>{periods, periods, 0}));
            EXPECT_EQ(g_windows.kills, g_windows.windowTimers);
            g_shell.phase = BridgePhase::NotStarted;
            g_inModalLoop = false;
        }
    }
}

}  // namespace
