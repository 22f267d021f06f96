#include "shell/cycle_timer.h"

namespace {

// ProcessPowerThrottling with `flag` in the control mask and not in the state mask: "do not
// throttle this". The result is not examined; see OptOutOfThrottling.
void AskNotToThrottle(SetProcessInformationCall setProcessInformation, HANDLE process, DWORD flag) {
    PowerThrottlingState state{kPowerThrottlingVersion, flag, 0};
    setProcessInformation(process, kProcessPowerThrottlingClass, &state, sizeof state);
}

}  // namespace

const char* CycleClockName(CycleClock clock) {
    switch (clock) {
        case CycleClock::HighResolutionTimer:
            return "high-resolution timer";
        case CycleClock::WaitableTimer:
            return "waitable timer";
        case CycleClock::WindowTimer:
            return "window timer";
        case CycleClock::None:
            break;
    }
    return "no clock";
}

void CycleTimer::OptOutOfThrottling() const {
    // Windows before 8 has no SetProcessInformation.
    const auto setProcessInformation = reinterpret_cast<SetProcessInformationCall>(
        system_->findExport("kernel32.dll", "SetProcessInformation"));
    if (setProcessInformation == nullptr) return;
    AskNotToThrottle(setProcessInformation, system_->currentProcess,
                     kThrottleIgnoreTimerResolution);
    AskNotToThrottle(setProcessInformation, system_->currentProcess, kThrottleExecutionSpeed);
}

bool CycleTimer::StartWaitableTimer(DWORD timerFlags) {
    waitableTimer_ = system_->createWaitableTimer(timerFlags);
    if (waitableTimer_ == nullptr) return false;
    dueAt_ = system_->systemTime();
    modalTimer_ = false;
    ArmNextTick();
    // A period costs nothing a tick; a one shot costs a call to Windows at every tick.
    oneShot_ = !system_->setWaitableTimer(waitableTimer_, dueAt_, kPeriodMs);
    if (!oneShot_ || system_->setWaitableTimer(waitableTimer_, dueAt_, 0)) return true;
    system_->closeHandle(waitableTimer_);
    waitableTimer_ = nullptr;
    return false;
}

// Due 10 ms after the last due time, so that the pace keeps to the clock whatever each wake
// costs; but never before now, so that a tick late by more than a period (an exchange that
// waited for the simulator) brings one tick at once, not a burst to catch up.
void CycleTimer::ArmNextTick() {
    constexpr std::int64_t kPeriod = 10'000LL * kPeriodMs;  // in units of 100 ns
    const std::int64_t now = system_->systemTime();
    dueAt_ = dueAt_ + kPeriod > now ? dueAt_ + kPeriod : now;
}

bool CycleTimer::SetWindowTimer() {
    // Windows before 8 has no SetCoalescableTimer; its timers are not coalesced anyway.
    const auto setCoalescableTimer = reinterpret_cast<SetCoalescableTimerCall>(
        system_->findExport("user32.dll", "SetCoalescableTimer"));
    UINT_PTR set = 0;
    if (setCoalescableTimer != nullptr) {
        set = setCoalescableTimer(window_, kId, kPeriodMs, nullptr, kTimerNoCoalescing);
    }
    if (set == 0) set = system_->setTimer(window_, kId, kPeriodMs);
    return set != 0;
}

ClockWake CycleTimer::WaitForTickOrInput() {
    if (modalTimer_) {
        system_->killTimer(window_, kId);
        modalTimer_ = false;
    }
    const ClockWake wake = system_->waitForTickOrInput(waitableTimer_);
    if (wake == ClockWake::Tick && oneShot_) {
        ArmNextTick();
        system_->setWaitableTimer(waitableTimer_, dueAt_, 0);
    }
    return wake;
}

void CycleTimer::EnterModalLoop() {
    if (waitableTimer_ != nullptr && !modalTimer_) modalTimer_ = SetWindowTimer();
}

bool CycleTimer::Start(HWND window) {
    Stop(window_);
    window_ = window;
    if (StartWaitableTimer(kCreateTimerHighResolution)) {
        clock_ = CycleClock::HighResolutionTimer;
        return true;
    }
    // The fallbacks tick on the system's timer resolution: ask for 1 ms while they run.
    resolutionRaised_ = system_->beginPeriod(kResolutionMs) == 0;
    if (StartWaitableTimer(0)) {
        clock_ = CycleClock::WaitableTimer;
    } else if (SetWindowTimer()) {
        clock_ = CycleClock::WindowTimer;
    } else {
        Stop(window);
    }
    return running();
}

bool CycleTimer::FallBackToWindowTimer() {
    const HWND window = window_;
    Stop(window);
    window_ = window;
    resolutionRaised_ = system_->beginPeriod(kResolutionMs) == 0;
    if (SetWindowTimer()) {
        clock_ = CycleClock::WindowTimer;
        return true;
    }
    Stop(window);
    return false;
}

void CycleTimer::Stop(HWND window) {
    if (clock_ == CycleClock::WindowTimer || modalTimer_) system_->killTimer(window, kId);
    modalTimer_ = false;
    if (waitableTimer_ != nullptr) system_->closeHandle(waitableTimer_);
    waitableTimer_ = nullptr;
    clock_ = CycleClock::None;
    if (resolutionRaised_) system_->endPeriod(kResolutionMs);
    resolutionRaised_ = false;
}
