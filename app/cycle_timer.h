// The cycle timer and the pace it keeps. On Windows 10 since version 2004 a 10 ms timer fires at
// the default tick of about 15.6 ms unless the process raises the timer resolution, and Windows
// 11 ignores that request while the process's windows are minimised, which is Quorvane's normal
// state, unless the process opts out of that throttling. The timer and the resolution are given
// and given back together here, so that no way of stopping leaves the finer tick requested.
#pragma once

#include "platform/win32.h"

// The few system calls the pace needs, as a table, so that a test can stand in for a Windows
// that refuses them or lacks an export.
struct PaceSystem {
    // The address of `name` in the loaded system DLL `module`, or null where it has none.
    void* (*findExport)(const char* module, const char* name);
    UINT_PTR (*setTimer)(HWND window, UINT_PTR id, UINT periodMs);  // SetTimer
    BOOL (*killTimer)(HWND window, UINT_PTR id);                    // KillTimer
    UINT (*beginPeriod)(UINT periodMs);                             // timeBeginPeriod, 0 = done
    UINT (*endPeriod)(UINT periodMs);                               // timeEndPeriod
    HANDLE currentProcess;                                          // GetCurrentProcess()
};

// The layout and values of Windows' PROCESS_POWER_THROTTLING_STATE and its flags.
struct PowerThrottlingState {
    DWORD version;
    DWORD controlMask;  // the throttlings this call decides
    DWORD stateMask;    // of those, the ones wanted on
};
constexpr int kProcessPowerThrottlingClass = 4;  // ProcessPowerThrottling
constexpr DWORD kPowerThrottlingVersion = 1;
constexpr DWORD kThrottleExecutionSpeed = 0x1;         // EcoQoS, efficient cores at low clock
constexpr DWORD kThrottleIgnoreTimerResolution = 0x4;  // Windows 11, while minimised
constexpr UINT kTimerNoCoalescing = 0xFFFFFFFF;        // TIMERV_NO_COALESCING

using SetCoalescableTimerCall = UINT_PTR(WINAPI*)(HWND window, UINT_PTR id, UINT periodMs,
                                                  void* timerProc, DWORD toleranceMs);
using SetProcessInformationCall = BOOL(WINAPI*)(HANDLE process, int informationClass,
                                                void* information, DWORD size);

class CycleTimer {
  public:
    static constexpr UINT_PTR kId = 1;
    static constexpr UINT kPeriodMs = 10;
    static constexpr UINT kResolutionMs = 1;

    explicit CycleTimer(const PaceSystem& system) : system_(system) {}

    // Once, at start: asks Windows not to throttle the timer resolution nor the speed of this
    // process. Each is its own call, since Windows 10 refuses the first (error 87); a refusal or
    // a Windows without the call changes nothing else.
    void OptOutOfThrottling() const;

    // Requests the 1 ms resolution and sets timer 1 on `window`, every 10 ms, not coalesced
    // with other timers where Windows can be told so. False when no timer could be set; the
    // resolution is then given back at once. Setting a running timer again only resets it.
    bool Start(HWND window);
    // Kills the timer and gives the resolution back; does nothing when not running, so every
    // path that ends the cycles may call it.
    void Stop(HWND window);

    bool running() const { return running_; }

  private:
    const PaceSystem& system_;
    bool running_ = false;
    bool resolutionRaised_ = false;
};
