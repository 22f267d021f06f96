// The cycle timer against a stand-in Windows: the 1 ms resolution is given back exactly once
// however the cycles end, and a Windows that refuses or lacks a call still runs the bridge.
#include "app/cycle_timer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct StandInWindows {
    bool hasCoalescableTimer = true;
    bool hasSetProcessInformation = true;
    UINT beginPeriodResult = 0;  // TIMERR_NOERROR
    UINT_PTR setTimerResult = 1;
    int beginPeriods = 0, endPeriods = 0, timersSet = 0, coalescableTimersSet = 0, kills = 0;
    std::vector<PowerThrottlingState> throttlingCalls;
    DWORD lastError = 0;
} g_windows;

HWND const kWindow = reinterpret_cast<HWND>(0x1234);

UINT_PTR WINAPI SetCoalescableTimer(HWND window, UINT_PTR id, UINT periodMs, void* proc,
                                    DWORD tolerance) {
    EXPECT_EQ(window, kWindow);
    EXPECT_EQ((std::vector<UINT_PTR>{id, periodMs, tolerance}),
              (std::vector<UINT_PTR>{1, 10, 0xFFFFFFFF}));
    EXPECT_EQ(proc, nullptr);
    ++g_windows.coalescableTimersSet;
    return g_windows.setTimerResult;
}

// Windows 10: the timer-resolution opt-out is unknown there, error 87.
BOOL WINAPI SetProcessInformation(HANDLE, int informationClass, void* information, DWORD size) {
    EXPECT_EQ(informationClass, 4);
    EXPECT_EQ(size, 12u);
    PowerThrottlingState state;
    std::memcpy(&state, information, sizeof state);
    g_windows.throttlingCalls.push_back(state);
    if (state.controlMask & kThrottleIgnoreTimerResolution) {
        g_windows.lastError = 87;
        return 0;
    }
    return 1;
}

const PaceSystem kStandIn = {
    [](const char* module, const char* name) -> void* {
        const std::string at = std::string(module) + "!" + name;
        if (at == "user32.dll!SetCoalescableTimer" && g_windows.hasCoalescableTimer) {
            return reinterpret_cast<void*>(SetCoalescableTimer);
        }
        if (at == "kernel32.dll!SetProcessInformation" && g_windows.hasSetProcessInformation) {
            return reinterpret_cast<void*>(SetProcessInformation);
        }
        return nullptr;
    },
    [](HWND window, UINT_PTR id, UINT periodMs) -> UINT_PTR {
        EXPECT_EQ((std::vector<UINT_PTR>{reinterpret_cast<UINT_PTR>(window), id, periodMs}),
                  (std::vector<UINT_PTR>{reinterpret_cast<UINT_PTR>(kWindow), 1, 10}));
        ++g_windows.timersSet;
        return g_windows.setTimerResult;
    },
    [](HWND, UINT_PTR id) -> BOOL {
        EXPECT_EQ(id, 1u);
        ++g_windows.kills;
        return 1;
    },
    [](UINT ms) -> UINT {
        EXPECT_EQ(ms, 1u);
        ++g_windows.beginPeriods;
        return g_windows.beginPeriodResult;
    },
    [](UINT ms) -> UINT {
        EXPECT_EQ(ms, 1u);
        ++g_windows.endPeriods;
        return 0;
    },
    nullptr,
};

class CycleTimerTest : public ::testing::Test {
  protected:
    void SetUp() override { g_windows = {}; }
    CycleTimer timer_{kStandIn};
};

// The shell's calls on each way the cycles end: Exit stops and then destroys the window, which
// stops again; a reconnect stops and starts; closing the window stops only on destruction.
TEST_F(CycleTimerTest, EveryWayOfStoppingGivesTheResolutionBackOnce) {
    enum Step { Start, Stop };
    struct Path {
        const char* name;
        std::vector<Step> steps;
        int periods;  // begun and ended, each
    };
    const Path paths[] = {
        {"exit from the menu", {Start, Stop, Stop}, 1},
        {"closing the window", {Start, Stop}, 1},
        {"module lost, then closing", {Start, Stop, Stop}, 1},
        {"reconnect after a loss, then exit", {Start, Stop, Stop, Start, Stop, Stop}, 2},
        {"started again while running", {Start, Start, Stop}, 1},
        {"never started, then closing", {Stop}, 0},
    };
    for (const Path& path : paths) {
        SCOPED_TRACE(path.name);
        SetUp();
        CycleTimer timer{kStandIn};
        for (const Step step : path.steps) {
            if (step == Start) {
                EXPECT_TRUE(timer.Start(kWindow));
            } else {
                timer.Stop(kWindow);
            }
        }
        EXPECT_FALSE(timer.running());
        EXPECT_EQ(g_windows.beginPeriods, path.periods);
        EXPECT_EQ(g_windows.endPeriods, path.periods);
    }
}

TEST_F(CycleTimerTest, OptsOutOfEachThrottlingInItsOwnCallAndBearsARefusal) {
    timer_.OptOutOfThrottling();
    ASSERT_EQ(g_windows.throttlingCalls.size(), 2u);
    for (const DWORD flag : {kThrottleIgnoreTimerResolution, kThrottleExecutionSpeed}) {
        const PowerThrottlingState& call = g_windows.throttlingCalls[flag == 1];
        EXPECT_EQ((std::vector<DWORD>{call.version, call.controlMask, call.stateMask}),
                  (std::vector<DWORD>{1, flag, 0}));
    }
    EXPECT_TRUE(timer_.Start(kWindow));
    EXPECT_EQ(g_windows.coalescableTimersSet, 1);
    EXPECT_EQ(g_windows.timersSet, 0);
}

// Windows before 8 (no SetCoalescableTimer, no SetProcessInformation), a refused resolution,
// and no timer at all.
TEST_F(CycleTimerTest, AWindowsThatRefusesStillRunsTheBridgeWhereItCan) {
    g_windows.hasCoalescableTimer = g_windows.hasSetProcessInformation = false;
    g_windows.beginPeriodResult = 97;  // TIMERR_NOCANDO
    timer_.OptOutOfThrottling();
    EXPECT_TRUE(g_windows.throttlingCalls.empty());
    EXPECT_TRUE(timer_.Start(kWindow));
    EXPECT_EQ(g_windows.timersSet, 1);
    timer_.Stop(kWindow);
    EXPECT_EQ(g_windows.kills, 1);
    EXPECT_EQ(g_windows.endPeriods, 0) << "a resolution never raised is not given back";

    g_windows = {};
    g_windows.setTimerResult = 0;
    EXPECT_FALSE(timer_.Start(kWindow));
    EXPECT_EQ(g_windows.timersSet, 1) << "SetTimer after SetCoalescableTimer failed";
    EXPECT_EQ(g_windows.endPeriods, 1);
    EXPECT_EQ(g_windows.kills, 0);
}

}  // namespace
