// The cycle timer against a stand-in Windows: the 1 ms resolution is given back exactly once
// however the cycles end, and a Windows that refuses or lacks a call still runs the bridge.
#include "app/cycle_timer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct StandInWindows {
    bool hasNewCalls = true;  // SetCoalescableTimer and SetProcessInformation, Windows 8 on
    UINT beginPeriodResult = 0;
    UINT_PTR setTimerResult = 1;
    int beginPeriods = 0, endPeriods = 0, timersSet = 0, uncoalescedTimersSet = 0, kills = 0;
    std::vector<DWORD> optOuts;  // control mask; state mask not set
} g_windows;

HWND const kWindow = reinterpret_cast<HWND>(0x1234);

UINT_PTR WINAPI SetCoalescableTimer(HWND window, UINT_PTR id, UINT periodMs, void*, DWORD delay) {
    g_windows.uncoalescedTimersSet +=
        window == kWindow && id == 1 && periodMs == 10 && delay == 0xFFFFFFFF;
    return g_windows.setTimerResult;
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
    [](const char* module, const char* name) -> void* {
        if (!g_windows.hasNewCalls) return nullptr;
        const std::string at = std::string(module) + "!" + name;
        if (at == "user32.dll!SetCoalescableTimer")
            return reinterpret_cast<void*>(SetCoalescableTimer);
        if (at == "kernel32.dll!SetProcessInformation") {
            return reinterpret_cast<void*>(SetProcessInformation);
        }
        return nullptr;
    },
    [](HWND window, UINT_PTR id, UINT periodMs) -> UINT_PTR {
        g_windows.timersSet += window == kWindow && id == 1 && periodMs == 10;
        return g_windows.setTimerResult;
    },
    [](HWND, UINT_PTR id) -> BOOL { return g_windows.kills += id == 1; },
    [](UINT ms) -> UINT { return g_windows.beginPeriods += ms == 1, g_windows.beginPeriodResult; },
    [](UINT ms) -> UINT { return g_windows.endPeriods += ms == 1, 0; },
    nullptr,
};

// The shell's calls on each way the cycles end: Exit stops and then destroys the window, which
// stops again; a reconnect stops and starts; closing the window stops only on destruction.
TEST(CycleTimerTest, EveryWayOfStoppingGivesTheResolutionBackOnce) {
    struct Path {
        const char* name;
        const char* steps;  // s: start, x: stop
        int periods;        // begun and ended, each
    };
    const Path paths[] = {
        {"exit from the menu", "sxx", 1},
        {"closing the window", "sx", 1},
        {"reconnect after a loss", "sxxsxx", 2},
        {"started again while running", "ssx", 1},
        {"never started", "x", 0},
    };
    for (const Path& path : paths) {
        SCOPED_TRACE(path.name);
        g_windows = {};
        CycleTimer timer{kStandIn};
        for (const char* step = path.steps; *step; ++step) {
            if (*step == 's') {
                EXPECT_TRUE(timer.Start(kWindow));
            } else {
                timer.Stop(kWindow);
            }
        }
        EXPECT_FALSE(timer.running());
        EXPECT_EQ((std::vector<int>{g_windows.beginPeriods, g_windows.endPeriods, g_windows.kills}),
                  (std::vector<int>{path.periods, path.periods, path.periods}));
    }
}

TEST(CycleTimerTest, ARefusingWindowsStillRunsTheBridge) {
    g_windows = {};
    CycleTimer timer{kStandIn};
    timer.OptOutOfThrottling();
    EXPECT_EQ(g_windows.optOuts,
              (std::vector<DWORD>{kThrottleIgnoreTimerResolution, kThrottleExecutionSpeed}));
    EXPECT_TRUE(timer.Start(kWindow));
    EXPECT_EQ((std::vector<int>{g_windows.uncoalescedTimersSet, g_windows.timersSet}),
              (std::vector<int>{1, 0}));
    timer.Stop(kWindow);

    // Before Windows 8, with the resolution refused: SetTimer, and nothing to give back.
    g_windows = {};
    g_windows.hasNewCalls = false;
    g_windows.beginPeriodResult = 97;  // TIMERR_NOCANDO
    timer.OptOutOfThrottling();
    EXPECT_TRUE(timer.Start(kWindow));
    timer.Stop(kWindow);
    EXPECT_EQ((std::vector<int>{g_windows.timersSet, g_windows.kills, g_windows.endPeriods}),
              (std::vector<int>{1, 1, 0}));

    // No timer at all: the resolution goes back at once.
    g_windows = {};
    g_windows.setTimerResult = 0;
    EXPECT_FALSE(timer.Start(kWindow));
    EXPECT_EQ((std::vector<int>{g_windows.timersSet, g_windows.endPeriods}),
              (std::vector<int>{1, 1}));
}

}  // namespace
