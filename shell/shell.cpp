#include "shell/shell.h"

#include <cstring>
#include <memory>

#include "bridge/bridge.h"
#include "bridge/connection.h"
#include "log/log_file.h"
#include "shell/bridge_run.h"
#include "shell/settings.h"
#include "shell/shell_log.h"
#include "shell/single_instance.h"

ShellState g_shell;

void ResetShellState() {
    std::destroy_at(&g_shell);
    std::construct_at(&g_shell);
}

namespace {

ClockTime LocalClock() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wHour, now.wMinute, now.wSecond};
}

Toggle ToggleFor(bool on) {
    return on ? Toggle::On : Toggle::Off;
}

TimerChange TimerFor(bool set) {
    return set ? TimerChange::Set : TimerChange::Kill;
}

std::int64_t Now() {
    return g_shell.windows->performanceCounter();
}

// The lines composed anew from the state as it is now, the rate measured over the last second.
void RefreshPanel(ShellActions& actions) {
    RateMeterSample(g_shell.rate, g_bridge.cyclesRun, Now(), g_shell.pace.ticksPerSecond);
    const int answerMs = RecentMedianAnswerMs(g_shell.answers, Now(), g_shell.pace.ticksPerSecond);
    ComposePanel({g_shell.phase, g_shell.status, g_shell.rate.perSecond, &g_shell.retry,
                  answerMs >= kSlowAnswerMs ? answerMs : -1},
                 g_shell.panel);
    g_shell.lastRefresh = Now();
    actions.panelChanged = true;
}

// While running, the panel follows the counts a few times a second.
void RefreshPanelWhenDue(ShellActions& actions) {
    if ((Now() - g_shell.lastRefresh) * 1000 >= g_shell.pace.ticksPerSecond * kPanelRefreshMs) {
        RefreshPanel(actions);
    }
}

// After every outcome: the retry timer is set while the option is on and the status NOT OK.
void ScheduleRetry(ShellActions& actions) {
    actions.retryTimer =
        TimerFor(RetryAfterOutcome(g_shell.retry, g_shell.status != LINK_OK, LocalClock()));
}

// A window that runs minimised shows its status on the taskbar: a NOT OK flashes the button
// until the window is restored and puts the mark on it; an OK takes both off.
void ShowStatusOnTaskbar(bool notOk) {
    const WindowsCalls& windows = *g_shell.windows;
    if (notOk && g_shell.minimised && !g_shell.flashing) {
        // What FlashWindowEx gives is the window's state before the call, not success.
        windows.flashTaskbarButton(g_shell.window, true);
        g_shell.flashing = true;
    } else if (!notOk && g_shell.flashing) {
        windows.flashTaskbarButton(g_shell.window, false);
        g_shell.flashing = false;
    }
    if (g_shell.taskbarList != nullptr) {
        windows.markTaskbarButton(g_shell.taskbarList, g_shell.window, notOk);
    }
}

// "Status: NOT OK", File > Reconnect offered, and the panel saying why.
void ReportNotOk(ShellActions& actions) {
    ShowStatusOnTaskbar(true);
    actions.status = L"Status: NOT OK";
    actions.reconnectOffered = Toggle::On;
    LogOutcome();
    ScheduleRetry(actions);
    RefreshPanel(actions);
}

// With both sides reached, "Status: LOADING" stands for two seconds (the thread sleeps), then
// the bridge runs out of sight.
void StartBridgeOrReport(ShellActions& actions) {
    g_shell.phase = BridgePhase::NotStarted;
    if (g_shell.status != LINK_OK) {
        ReportNotOk(actions);
        return;
    }
    actions.status = L"Status: LOADING";
    RefreshPanel(actions);
    actions.then = ThenStep::PauseThenRun;
}

// A connect may hold the window thread for seconds: the panel says it is under way, and the
// window paints that before the wait.
void AnnounceConnect(ConnectCause cause, ShellActions& actions) {
    g_shell.connectCause = cause;
    g_shell.phase = BridgePhase::Connecting;
    RefreshPanel(actions);
    actions.then = ThenStep::ConnectNow;
}

// Release both sides and start again, as a new process would. While the bridge runs there is
// nothing to mend, and during "Status: LOADING" the thread sleeps, so a command that waited for
// it finds the bridge running.
ShellActions Reconnect(ConnectCause cause) {
    ShellActions actions;
    if (g_shell.status == LINK_OK) return actions;
    actions.reconnectOffered = Toggle::Off;
    AnnounceConnect(cause, actions);
    return actions;
}

}  // namespace

bool ShellBegin(const WindowsCalls& windows, const wchar_t* windowClassName) {
    g_shell.windows = &windows;
    g_shell.clock.Use(windows.pace);
    if (!ClaimSingleInstance()) {
        BringFirstCopyForward(windows, windowClassName);
        return false;
    }
    SetLogRotation(true);  // the copy that holds the mutex is the one that moves the log aside
    LogStart();
    g_shell.clock.OptOutOfThrottling();
    g_shell.pace.ticksPerSecond = windows.performanceFrequency();
    return true;
}

ShellActions ShellWindowShown(HWND window) {
    g_shell.window = window;
    ShellActions actions;
    g_shell.retry.enabled = ReadReconnectAutomatically();
    actions.optionChecked = ToggleFor(g_shell.retry.enabled);
    actions.logTimer = TimerChange::Set;
    AnnounceConnect(ConnectCause::Start, actions);
    return actions;
}

ShellActions ShellConnect() {
    ShellActions actions;
    if (g_shell.connectCause == ConnectCause::Start) {
        g_shell.status = ConnectBothSides();
    } else {
        g_shell.cyclesBefore += g_bridge.cyclesRun;
        g_shell.commandsBefore += g_bridge.commandsForwarded;
        ReconnectBothSides(g_shell.window, g_shell.connectCause == ConnectCause::Automatic);
    }
    StartBridgeOrReport(actions);
    return actions;
}

ShellActions ShellLoadingEnded() {
    ShellActions actions;
    if (!StartCycles(g_shell.window)) {
        ReportNotOk(actions);
        return actions;
    }
    actions.minimise = true;
    ShowStatusOnTaskbar(false);
    g_shell.phase = BridgePhase::Running;
    actions.status = L"Status: OK";
    PaceStartPeriod(g_shell.pace, Now(), false);
    g_shell.rate = {};
    g_shell.answers = {};
    RefreshPanel(actions);
    LogOutcome();
    ScheduleRetry(actions);
    return actions;
}

ShellActions ShellTick() {
    ShellActions actions;
    if (!CycleDue()) return actions;
    const std::int64_t before = Now();
    PaceNoteCycle(g_shell.pace, before);
    if (RunDueCycle(g_shell.window)) {
        const std::int64_t after = Now();
        AnswerNoted(g_shell.answers, after - before, after, g_shell.pace.ticksPerSecond);
        if (g_bridge.cyclesRun == 1) LogFirstCycle();
        RefreshPanelWhenDue(actions);
    } else {
        ReportNotOk(actions);
    }
    return actions;
}

ShellActions ShellReconnect() {
    return Reconnect(ConnectCause::Menu);
}

ShellActions ShellRetryTimer() {
    ShellActions actions =
        RetryBegin(g_shell.retry) ? Reconnect(ConnectCause::Automatic) : ShellActions{};
    // A one shot: it is set again only by the try's outcome.
    actions.retryTimer = TimerChange::Kill;
    return actions;
}

ShellActions ShellToggleOption() {
    ShellActions actions;
    const bool on = !g_shell.retry.enabled;
    const bool kept = WriteReconnectAutomatically(on);
    actions.retryTimer =
        TimerFor(RetrySetEnabled(g_shell.retry, on, g_shell.status != LINK_OK, LocalClock()));
    actions.optionChecked = ToggleFor(g_shell.retry.enabled);
    LogEvent("Option \"Reconnect automatically\" turned %s%s.", on ? "on" : "off",
             kept ? "" : ", for this run only: the registry did not keep it");
    RefreshPanel(actions);
    return actions;
}

ShellActions ShellLogTimer() {
    LogPeriod();
    return {};
}

ShellActions ShellExit() {
    StopBridgeForExit(g_shell.window);
    ShellActions actions;
    actions.destroyWindow = true;
    return actions;
}

void ShellWindowGone() {
    StopBridgeForExit(g_shell.window);
    if (g_shell.taskbarList != nullptr) g_shell.windows->releaseTaskbarList(g_shell.taskbarList);
    if (g_shell.taskbarCom) g_shell.windows->endCom();
    g_shell.taskbarList = nullptr;
    g_shell.taskbarCom = false;
}

void ShellWindowSized(bool minimised) {
    g_shell.minimised = minimised;
    if (!minimised && g_shell.flashing) {
        g_shell.windows->flashTaskbarButton(g_shell.window, false);
        g_shell.flashing = false;
    }
}

void ShellTaskbarButtonCreated() {
    const WindowsCalls& windows = *g_shell.windows;
    if (g_shell.taskbarList == nullptr) {
        // The taskbar's object lives in this thread's apartment for the window's life.
        if (!g_shell.taskbarCom) g_shell.taskbarCom = windows.beginCom();
        g_shell.taskbarList = windows.createTaskbarList();
    }
    if (g_shell.taskbarList != nullptr && g_shell.status != LINK_OK) {
        windows.markTaskbarButton(g_shell.taskbarList, g_shell.window, true);
    }
}

// Once this returns, Windows may end the process at any moment without running the exit
// clean-up, so the bridge stops, the log gets its exit line and both sides are let go here, as
// Exit would; the window then goes as well.
ShellActions ShellSessionEnds(bool ending) {
    ShellActions actions;
    if (!ending) return actions;
    StopBridgeForExit(g_shell.window);
    LogExit();
    DisconnectBothSides();
    actions.destroyWindow = true;
    return actions;
}

void ShellOpenLogFolder() {
    const WindowsCalls& windows = *g_shell.windows;
    wchar_t folder[kLogPathLength];
    if (LogFolderPath(folder)) {
        CreateDirectoryW(folder, nullptr);
        // The shell may hand the folder to extensions that need COM on this thread, in a
        // single-threaded apartment. A thread that has COM already keeps it as it is.
        const bool com = windows.beginCom();
        const bool opened = windows.openFolder(g_shell.window, folder);
        if (com) windows.endCom();
        if (opened) return;
    }
    windows.warn(g_shell.window, L"The log folder (%LOCALAPPDATA%\\Quorvane) could not be opened.");
}

void ShellEnd() {
    LogExit();
}

ShellActions ShellWaitForTickOrInput() {
    const ClockWake wake = g_shell.clock.WaitForTickOrInput();
    if (wake == ClockWake::Tick) return ShellTick();
    if (wake == ClockWake::Input) return {};
    // A wait that fails would fail again at once, and the loop would spin at a full core: the
    // window timer, which needs no wait of Quorvane's own, takes over.
    const DWORD error = GetLastError();
    ShellActions actions;
    if (g_shell.clock.FallBackToWindowTimer()) {
        LogEvent("The clock's wait failed (error %lu): the cycles go on by the window timer.",
                 static_cast<unsigned long>(error));
        return actions;
    }
    LogEvent("The clock's wait failed (error %lu), and Windows gave no window timer either.",
             static_cast<unsigned long>(error));
    g_shell.status = STATUS_NO_CYCLE_CLOCK;
    g_shell.phase = BridgePhase::NotStarted;
    ReportNotOk(actions);
    return actions;
}

void ShellEnterModalLoop() {
    g_shell.clock.EnterModalLoop();
}
