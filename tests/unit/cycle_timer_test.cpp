// The clock that paces the cycles, against a stand-in Windows: the best clock it gives is taken,
// a refusal falls back to the next, and every path of the shell that ends the cycles ends the
// pacing thread, leaves no handle and gives the 1 ms resolution back exactly once.
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
    std::string refused;         // the calls that fail, by name: "high-res waitable set thread ..."
    bool hasNewCalls = true;     // SetCoalescableTimer and SetProcessInformation, Windows 8 on
    std::vector<DWORD> optOuts;  // control masks; state mask not set
    int beginPeriods = 0, endPeriods = 0, handles = 0, threads = 0, joins = 0;
    int windowTimers = 0, kills = 0, ticksPosted = 0, ticksAfterStop = 0;
    DWORD(WINAPI* body)(void*) = nullptr;  // the pacing thread, run when the test says
    void* argument = nullptr;
    HANDLE thread = nullptr;
    std::uintptr_t nextHandle = 0x100;
    int wakesLeft = 0;  // waits the thread gets through before it blocks (returns here)
} g_windows;

bool Refuses(const char* call) {
    return g_windows.refused.find(call) != std::string::npos;
}

HANDLE NewHandle() {
    ++g_windows.handles;
    return reinterpret_cast<HANDLE>(g_windows.nextHandle += 4);
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
        if (Refuses(flags == kCreateTimerHighResolution ? "high-res" : "waitable")) return nullptr;
        return NewHandle();
    },
    .setWaitableTimer = [](HANDLE, LONG periodMs) -> BOOL {
        return periodMs == 10 && !Refuses("set");
    },
    .createEvent = [] { return Refuses("event") ? nullptr : NewHandle(); },
    .setEvent = [](HANDLE) -> BOOL { return 1; },
    .resetEvent = [](HANDLE) -> BOOL { return 1; },
    // Joining the thread: it wakes once more; a thread that was told to stop posts nothing.
    .waitFor = [](HANDLE object) -> BOOL {
        if (object != g_windows.thread) return g_windows.wakesLeft-- > 0;
        const int posted = g_windows.ticksPosted;
        g_windows.wakesLeft = 3;
        g_windows.body(g_windows.argument);
        g_windows.ticksAfterStop += g_windows.ticksPosted - posted;
        return ++g_windows.joins;
    },
    .waitForTickOrInput = [](HANDLE timer) -> BOOL { return timer != nullptr; },
    .createThread = [](DWORD(WINAPI* body)(void*), void* argument) -> HANDLE {
        if (Refuses("thread")) return nullptr;
        g_windows.body = body;
        g_windows.argument = argument;
        ++g_windows.threads;
        return g_windows.thread = NewHandle();
    },
    .closeHandle = [](HANDLE) -> BOOL { return --g_windows.handles, 1; },
    .postTick = [](HWND window) -> BOOL { return g_windows.ticksPosted += window == kWindow, 1; },
};

// The pacing thread wakes `wakes` times in a modal loop; the window thread takes each tick it
// finds.
void RunThePacingThread(CycleTimer& timer, int wakes, bool windowTakesTicks) {
    for (int wake = 0; wake < wakes; ++wake) {
        g_windows.wakesLeft = 2;  // the modal loop's event, then the timer
        g_windows.body(g_windows.argument);
        if (windowTakesTicks) timer.TickTaken();
    }
}

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
// leaves the status NOT OK, saying why.
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
        {"thread", CycleClock::WindowTimer, 1},
        {"event", CycleClock::WindowTimer, 1},
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
        const bool threaded =
            c.clock == CycleClock::HighResolutionTimer || c.clock == CycleClock::WaitableTimer;
        EXPECT_EQ(g_windows.handles, threaded ? 3 : 0) << "the timer, the event and the thread";
        EXPECT_EQ(g_windows.windowTimers, c.clock == CycleClock::WindowTimer);
        if (g_windows.threads == 1) {
            // Outside a modal loop the message loop waits on the clock; the thread posts nothing.
            EXPECT_TRUE(timer.WaitForTickOrInput());
            RunThePacingThread(timer, 2, true);
            EXPECT_EQ(g_windows.ticksPosted, 0);
            // In one, however long the window thread is held up, one tick waits for it.
            timer.EnterModalLoop();
            RunThePacingThread(timer, 5, false);
            EXPECT_EQ(g_windows.ticksPosted, 1);
            timer.TickTaken();
            RunThePacingThread(timer, 5, true);
            EXPECT_EQ(g_windows.ticksPosted, 6);
        }
        timer.Stop(kWindow);
        EXPECT_EQ((std::vector<int>{g_windows.endPeriods, g_windows.handles, g_windows.threads,
                                    g_windows.kills, g_windows.ticksAfterStop}),
                  (std::vector<int>{c.periods, 0, g_windows.joins, g_windows.windowTimers, 0}));
    }
}

bool g_inModalLoop;  // the window thread is in the About box: ticks come from the thread

// Delivers `ticks` ticks of the running clock to the shell, as the message loop and, in a modal
// loop, the window procedure do.
void DeliverTicks(int ticks) {
    for (int tick = 0; tick < ticks; ++tick) {
        if (g_shell.clock.clock() != CycleClock::WindowTimer) {
            if (g_inModalLoop) {
                g_windows.wakesLeft = 2;
                g_windows.body(g_windows.argument);
            } else {
                ASSERT_TRUE(g_shell.clock.WaitForTickOrInput());
            }
        }
        if (CycleDue()) RunDueCycle(kWindow);
    }
}

// Each way the shell ends the cycles, under each clock: the bridge's own paths, run against the
// fake module, stop the clock and give the resolution back once, however many of them follow
// one another, and no tick is posted after the stop.
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
            EXPECT_EQ((std::vector<int>{g_windows.beginPeriods, g_windows.endPeriods,
                                        g_windows.handles, g_windows.ticksAfterStop}),
                      (std::vector<int>{periods, periods, 0, 0}));
            EXPECT_EQ(g_windows.joins, g_windows.threads);
            EXPECT_EQ(g_windows.kills, g_windows.windowTimers);
            g_shell.phase = BridgePhase::NotStarted;
            g_inModalLoop = false;
        }
    }
}

}  // namespace
