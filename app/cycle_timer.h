// The clock that paces the cycles. A window timer fires on the system tick, about 15.6 ms on
// Windows 10 and 11 whatever the process asks, so the cycles are paced by a high-resolution
// waitable timer (Windows 10 1803 and later), which keeps about 0.5 ms without touching the
// system's resolution. A small thread waits on it and posts one tick message at a time to the
// window; the cycle itself runs on the window thread, and posted messages reach the window in
// the modal loops of dialogs, menus and dragging as WM_TIMER did. Where that timer cannot be
// made, a plain waitable timer with the 1 ms resolution requested, and last a window timer with
// it. Every stop ends the thread before it returns and gives the resolution back.
#pragma once

#include <atomic>
#include <cstdint>

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
    // CreateWaitableTimerExW, unnamed, auto-reset, with these flags; null when refused.
    HANDLE (*createWaitableTimer)(DWORD flags);
    // SetWaitableTimer: due one period from now, then every period.
    BOOL (*setWaitableTimer)(HANDLE timer, LONG periodMs);
    BOOL (*waitForTimer)(HANDLE timer);  // WaitForSingleObject without timeout: true if signalled
    HANDLE (*createThread)(DWORD(WINAPI* body)(void*), void* argument);  // CreateThread
    void (*waitForThread)(HANDLE thread);  // WaitForSingleObject without timeout
    BOOL (*closeHandle)(HANDLE handle);
    BOOL (*postTick)(HWND window);  // PostMessageW of kCycleTickMessage
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
constexpr DWORD kCreateTimerHighResolution = 0x2;      // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
constexpr UINT kCycleTickMessage = 0x8000 + 1;         // WM_APP + 1: the pacing thread's tick

using SetCoalescableTimerCall = UINT_PTR(WINAPI*)(HWND window, UINT_PTR id, UINT periodMs,
                                                  void* timerProc, DWORD toleranceMs);
using SetProcessInformationCall = BOOL(WINAPI*)(HANDLE process, int informationClass,
                                                void* information, DWORD size);

// Which clock paces the cycles, best first; None while stopped.
enum class CycleClock : std::uint8_t { None, HighResolutionTimer, WaitableTimer, WindowTimer };

// "high-resolution timer", "waitable timer", "window timer", or "no clock".
const char* CycleClockName(CycleClock clock);

class CycleTimer {
  public:
    static constexpr UINT_PTR kId = 1;  // the window timer's id, when that is the clock
    static constexpr UINT kPeriodMs = 10;
    static constexpr UINT kResolutionMs = 1;

    explicit CycleTimer(const PaceSystem& system) : system_(system) {}
    CycleTimer(const CycleTimer&) = delete;
    CycleTimer& operator=(const CycleTimer&) = delete;

    // Once, at start: asks Windows not to throttle the timer resolution nor the speed of this
    // process. Each is its own call, since Windows 10 refuses the first (error 87); a refusal or
    // a Windows without the call changes nothing else.
    void OptOutOfThrottling() const;

    // Stops whatever runs, then starts the best clock Windows gives, ticking `window` every
    // 10 ms: kCycleTickMessage, or WM_TIMER kId from the window timer. False when no clock could
    // be started; nothing is then held.
    bool Start(HWND window);
    // Ends the pacing thread (no tick is posted once this returns), kills the window timer and
    // gives the resolution back; does nothing when stopped, so every path may call it.
    void Stop(HWND window);
    // The window thread took a tick: the next may be posted.
    void TickTaken() { tickPosted_.store(false); }

    bool running() const { return clock_ != CycleClock::None; }
    CycleClock clock() const { return clock_; }

  private:
    static DWORD WINAPI PaceThread(void* self);
    bool StartPaceThread(DWORD timerFlags);
    bool StartWindowTimer();
    void EndPaceThread();

    const PaceSystem& system_;
    HWND window_ = nullptr;  // where the ticks go
    CycleClock clock_ = CycleClock::None;
    bool resolutionRaised_ = false;
    HANDLE waitableTimer_ = nullptr;
    HANDLE thread_ = nullptr;              // the pacing thread while it runs
    std::atomic<bool> stopping_{false};    // the pacing thread is to end at its next wake
    std::atomic<bool> tickPosted_{false};  // a tick waits in the window's queue
};
