#include "shell/cycle_timer.h"

namespace {

// ProcessPowerThrottling with `flag` in the control mask and not in the state mask: "do not
// throttle this". The result is not examined; see OptOutOfThrottling.
void OptOut(SetProcessInformationCall setProcessInformation, HANDLE process, DWORD flag) {
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
    OptOut(setProcessInformation, system_->currentProcess, kThrottleIgnoreTimerResolution);
    OptOut(setProcessInformation, system_->currentProcess, kThrottleExecutionSpeed);
}

// Sleeps while the window thread waits on the timer itself; during a modal loop, wakes with the
// timer and posts a tick unless the last one still waits in the window's queue: a window thread
// held up by a slow exchange finds one tick when it comes back, not a backlog.
DWORD WINAPI CycleTimer::PaceThread(void* self) {
    CycleTimer& timer = *static_cast<CycleTimer*>(self);
    const PaceSystem& system = *timer.system_;
    while (system.waitFor(timer.modalEvent_) && !timer.stopping_.load() &&
           system.waitFor(timer.waitableTimer_) && !timer.stopping_.load()) {
        // A tick that woke this thread as the modal loop ended belongs to the message loop.
        if (timer.modal_.load() && !timer.tickPosted_.exchange(true) &&
            !system.postTick(timer.window_)) {
            timer.tickPosted_.store(false);
        }
    }
    return 0;
}

bool CycleTimer::StartPaceThread(DWORD timerFlags) {
    waitableTimer_ = system_->createWaitableTimer(timerFlags);
    if (waitableTimer_ == nullptr) return false;
    modalEvent_ = system_->createEvent();
    modal_.store(false);
    stopping_.store(false);
    tickPosted_.store(false);
    if (modalEvent_ != nullptr && system_->setWaitableTimer(waitableTimer_, kPeriodMs)) {
        thread_ = system_->createThread(PaceThread, this);
    }
    if (thread_ != nullptr) return true;
    if (modalEvent_ != nullptr) system_->closeHandle(modalEvent_);
    system_->closeHandle(waitableTimer_);
    modalEvent_ = waitableTimer_ = nullptr;
    return false;
}

bool CycleTimer::StartWindowTimer() {
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

// Woken from its wait on the event, or with the timer's next period at the latest, the thread
// sees that it is to end and ends without posting; only then are its handles closed.
void CycleTimer::EndPaceThread() {
    stopping_.store(true);
    system_->setEvent(modalEvent_);
    system_->waitFor(thread_);
    system_->closeHandle(thread_);
    system_->closeHandle(modalEvent_);
    system_->closeHandle(waitableTimer_);
    thread_ = modalEvent_ = waitableTimer_ = nullptr;
    modal_.store(false);
}

bool CycleTimer::WaitForTickOrInput() {
    if (modal_.exchange(false)) system_->resetEvent(modalEvent_);
    return system_->waitForTickOrInput(waitableTimer_);
}

void CycleTimer::EnterModalLoop() {
    if (thread_ != nullptr && !modal_.exchange(true)) system_->setEvent(modalEvent_);
}

bool CycleTimer::Start(HWND window) {
    Stop(window_);
    window_ = window;
    if (StartPaceThread(kCreateTimerHighResolution)) {
        clock_ = CycleClock::HighResolutionTimer;
        return true;
    }
    // The fallbacks tick on the system's timer resolution: ask for 1 ms while they run.
    resolutionRaised_ = system_->beginPeriod(kResolutionMs) == 0;
    if (StartPaceThread(0)) {
        clock_ = CycleClock::WaitableTimer;
    } else if (StartWindowTimer()) {
        clock_ = CycleClock::WindowTimer;
    } else {
        Stop(window);
    }
    return running();
}

void CycleTimer::Stop(HWND window) {
    if (thread_ != nullptr) EndPaceThread();
    if (clock_ == CycleClock::WindowTimer) system_->killTimer(window, kId);
    clock_ = CycleClock::None;
    if (resolutionRaised_) system_->endPeriod(kResolutionMs);
    resolutionRaised_ = false;
}
