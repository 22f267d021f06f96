// The clock that paces the cycles. A window timer fires on the system tick, about 15.6 ms on
// Windows 10 and 11 whatever the process asks, so the cycles are paced by a high-resolution
// waitable timer (Windows 10 1803 and later), which keeps about 0.5 ms without touching the
// system's resolution. The window thread's own message loop waits on it beside its messages. A
// modal loop (the About box, a message box, a menu, dragging) takes the thread away from that
// loop: then a small pacing thread waits on the timer and posts one tick message at a time to
// the window, which those loops dispatch as they did WM_TIMER. Where that timer cannot be made, a
// plain waitable timer with the 1 ms resolution requested, and last a window timer with it.
// Every stop ends the pacing thread before it returns and gives the resolution back.
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
    HANDLE (*createEvent)();           // CreateEventW: unnamed, manual reset, not set
    BOOL (*setEvent)(HANDLE event);    // SetEvent
    BOOL (*resetEvent)(HANDLE event);  // ResetEvent
    BOOL (*waitFor)(HANDLE object);    // WaitForSingleObject without timeout: true if signalled
    // MsgWaitForMultipleObjectsEx on `timer` (none when null) and any input, without timeout:
    // true when the timer woke it.
    BOOL (*waitForTickOrInput)(HANDLE timer);
    HANDLE (*createThread)(DWORD(WINAPI* body)(void*), void* argument);  // CreateThread
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

    CycleTimer() = default;
    explicit CycleTimer(const PaceSystem& system) : system_(&system) {}
    CycleTimer(const CycleTimer&) = delete;
    CycleTimer& operator=(const CycleTimer&) = delete;

    // Once, at start: asks Windows not to throttle the timer resolution nor the speed of this
    // process. Each is its own call, since Windows 10 refuses the first (error 87); a refusal or
    // a Windows without the call changes nothing else.
    void OptOutOfThrottling() const;

    // Stops whatever runs, then starts the best clock Windows gives, every 10 ms: a waitable
    // timer, which WaitForTickOrInput reports and the pacing thread turns into kCycleTickMessage
    // to `window` during modal loops, or a window timer that sends it WM_TIMER kId. False when
    // no clock could be started; nothing is then held.
    bool Start(HWND window);
    // Ends the pacing thread (no tick is posted once this returns), kills the window timer and
    // gives the resolution back; does nothing when stopped, so every path may call it.
    void Stop(HWND window);
    // The window thread took a tick: the next may be posted.
    void TickTaken() { tickPosted_.store(false); }

    // The message loop's wait: until the clock ticks (true) or a message or input arrives. Being
    // here, the window thread has left any modal loop: the pacing thread stops posting.
    bool WaitForTickOrInput();
    // A modal loop took the window thread away from the message loop: the pacing thread posts
    // the ticks until the message loop waits again. Cheap when called again.
    void EnterModalLoop();

    // The calls it makes from now on; set once before the first Start.
    void Use(const PaceSystem& system) { system_ = &system; }

    bool running() const { return clock_ != CycleClock::None; }
    CycleClock clock() const { return clock_; }

  private:
    static DWORD WINAPI PaceThread(void* self);
    bool StartPaceThread(DWORD timerFlags);
    bool StartWindowTimer();
    void EndPaceThread();

    const PaceSystem* system_ = nullptr;
    HWND window_ = nullptr;  // where the ticks go
    CycleClock clock_ = CycleClock::None;
    bool resolutionRaised_ = false;
    HANDLE waitableTimer_ = nullptr;
    HANDLE modalEvent_ = nullptr;          // set while the pacing thread is to post
    HANDLE thread_ = nullptr;              // the pacing thread while it runs
    std::atomic<bool> modal_{false};       // the window thread is in a modal loop
    std::atomic<bool> stopping_{false};    // the pacing thread is to end at its next wake
    std::atomic<bool> tickPosted_{false};  // a tick waits in the window's queue
};
