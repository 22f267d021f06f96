#include "app/cycle_timer.h"

namespace {

// ProcessPowerThrottling with `flag` in the control mask and not in the state mask: "do not
// throttle this". The result is not examined; see OptOutOfThrottling.
void OptOut(SetProcessInformationCall setProcessInformation, HANDLE process, DWORD flag) {
    PowerThrottlingState state{kPowerThrottlingVersion, flag, 0};
    setProcessInformation(process, kProcessPowerThrottlingClass, &state, sizeof state);
}

}  // namespace

void CycleTimer::OptOutOfThrottling() const {
    // Windows before 8 has no SetProcessInformation.
    const auto setProcessInformation = reinterpret_cast<SetProcessInformationCall>(
        system_.findExport("kernel32.dll", "SetProcessInformation"));
    if (setProcessInformation == nullptr) return;
    OptOut(setProcessInformation, system_.currentProcess, kThrottleIgnoreTimerResolution);
    OptOut(setProcessInformation, system_.currentProcess, kThrottleExecutionSpeed);
}

bool CycleTimer::Start(HWND window) {
    if (!resolutionRaised_) resolutionRaised_ = system_.beginPeriod(kResolutionMs) == 0;
    // Windows before 8 has no SetCoalescableTimer; its timers are not coalesced anyway.
    const auto setCoalescableTimer = reinterpret_cast<SetCoalescableTimerCall>(
        system_.findExport("user32.dll", "SetCoalescableTimer"));
    UINT_PTR set = 0;
    if (setCoalescableTimer != nullptr) {
        set = setCoalescableTimer(window, kId, kPeriodMs, nullptr, kTimerNoCoalescing);
    }
    if (set == 0) set = system_.setTimer(window, kId, kPeriodMs);
    running_ = set != 0;
    if (!running_) Stop(window);
    return running_;
}

void CycleTimer::Stop(HWND window) {
    if (running_) system_.killTimer(window, kId);
    running_ = false;
    if (resolutionRaised_) system_.endPeriod(kResolutionMs);
    resolutionRaised_ = false;
}
