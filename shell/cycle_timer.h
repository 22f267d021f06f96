// The clock that paces the cycles. A window timer fires on the system tick, about 15.6 ms on
// Windows 10 and 11 whatever the process asks, so the cycles are paced by a high-resolution
// waitable timer (Windows 10 1803 and later), which keeps about 0.5 ms without touching the
// system's resolution. It ticks every 10 ms by itself where Windows takes the period; where it
// refuses one for a high-resolution timer (Windows 10 1809, error 87) it is armed anew at each
// tick, one shot at an absolute due time 10 ms after the last, so that the pace does not drift. The
// window thread's own message loop waits on it beside its messages. A modal loop (the About box, a
// message box, a menu, moving the window) takes the thread away from that loop: a window timer of
// 10 ms paces the cycles there, since Windows makes WM_TIMER only when no input, paint or posted
// message waits, so a tick never stands in the queue ahead of what the user does. Where the
// high-resolution timer cannot be made, a plain waitable timer with the 1 ms resolution requested,
// and last a window timer with it. Every stop gives the resolution back.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// What woke the message loop's wait: the clock, a message or input, or nothing, since the wait
// failed (WAIT_FAILED).
enum class ClockWake : std::uint8_t { Tick, Input, Failed };

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
    // SetWaitableTimer, due at `dueAt` (in units of 100 ns on the system clock), then every
    // `periodMs`, or once where it is 0.
    BOOL (*setWaitableTimer)(HANDLE timer, std::int64_t dueAt, LONG periodMs);
    // The system clock in units of 100 ns (GetSystemTimePreciseAsFileTime, or
    // GetSystemTimeAsFileTime before Windows 8).
    std::int64_t (*systemTime)();
    // MsgWaitForMultipleObjectsEx on `timer` (none when null) and any input, without timeout.
    ClockWake (*waitForTickOrInput)(HANDLE timer);
    BOOL (*closeHandle)(HANDLE handle);
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

    CycleTimer() = default;
    explicit CycleTimer(const PaceSystem& system) : system_(&system) {}
    CycleTimer(const CycleTimer&) = delete;
    CycleTimer& operator=(const CycleTimer&) = delete;

    // Once, at start: asks Windows not to throttle the timer resolution nor the speed of this
    // process. Each is its own call, since Windows 10 refuses the first (error 87); a refusal or
    // a Windows without the call changes nothing else.
    void OptOutOfThrottling() const;

    // Stops whatever runs, then starts the best clock Windows gives, every 10 ms: a waitable
    // timer, which WaitForTickOrInput reports, or a window timer that sends `window` WM_TIMER
    // kId. False when no clock could be started; nothing is then held.
    bool Start(HWND window);
    // The waitable timer's wait failed: the window timer takes over, with the 1 ms resolution.
    // False when it cannot be had either; nothing is then held.
    bool FallBackToWindowTimer();
    // Kills the window timers and closes the waitable timer, and gives the resolution back;
    // does nothing when stopped, so every path may call it.
    void Stop(HWND window);

    // The message loop's wait: until the clock ticks, a message or input arrives, or the wait
    // fails. A tick arms the timer for the next. Being here, the window thread has left any
    // modal loop: the waitable timer paces the cycles again.
    ClockWake WaitForTickOrInput();
    // A modal loop took the window thread away from the message loop: a window timer paces the
    // cycles until the message loop waits again. Cheap when called again.
    void EnterModalLoop();

    // The calls it makes from now on; set once before the first Start.
    void Use(const PaceSystem& system) { system_ = &system; }

    bool running() const { return clock_ != CycleClock::None; }
    CycleClock clock() const { return clock_; }

  private:
    bool StartWaitableTimer(DWORD timerFlags);
    bool SetWindowTimer();
    void ArmNextTick();

    const PaceSystem* system_ = nullptr;
    HWND window_ = nullptr;  // where the window timer's ticks go
    CycleClock clock_ = CycleClock::None;
    bool resolutionRaised_ = false;
    HANDLE waitableTimer_ = nullptr;
    std::int64_t dueAt_ = 0;   // when the waitable timer was last due, in units of 100 ns
    bool oneShot_ = false;     // Windows refused the period: each tick arms the next
    bool modalTimer_ = false;  // a window timer paces a modal loop
};
