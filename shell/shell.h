// The shell: everything Quorvane decides beside the bridge itself. When to connect and what the
// outcome is called, when the next automatic try is due, the run's totals and pace, the log's
// lines and what the panel says. It holds no window: each event the window reports comes in
// through one entry point below, and what the window must do about it goes back as
// ShellActions, which app/ carries out. Every Windows call of its own goes through the
// WindowsCalls table, so that the native tests drive every path of it. Everything runs on the
// window's thread.
#pragma once

#include <cstdint>

#include "panel/panel.h"
#include "shell/cycle_timer.h"
#include "shell/pace.h"
#include "shell/retry_schedule.h"
#include "shell/shell_outcome.h"
#include "shell/windows_calls.h"

constexpr DWORD kLoadingPauseMs = 2000;  // how long "Status: LOADING" stands before the bridge runs
constexpr UINT kLogPeriodMs = 10 * 60 * 1000;  // the log's line of the pace
constexpr DWORD kPanelRefreshMs = 250;  // while running, the panel follows at most this often
// How long an automatic try waits for the module's window to answer before it gives up.
constexpr UINT kModuleProbeTimeoutMs = 250;
// From this median answer over the last second on, the panel says how long the module takes:
// a pace below 100 a second is then the simulator's, not the clock's.
constexpr int kSlowAnswerMs = 5;

// What started the connect whose outcome is reported next, for the log.
enum class ConnectCause : std::uint8_t { Start, Menu, Automatic };

struct ShellState {
    const WindowsCalls* windows;   // the calls the shell makes
    HWND window;                   // the main window: the clock's ticks go there
    LinkResult status;             // 0 while the bridge runs; a failure ends it until a reconnect
    BridgePhase phase;             // where the bridge stands
    ConnectCause connectCause;     // what started the last connect
    RetrySchedule retry;           // the automatic reconnect: the option and the next try
    CycleTimer clock;              // paces the cycles while the bridge runs
    PaceCounters pace;             // the cycles' pace over the log's period
    AnswerTimes answers;           // how long the module takes to answer, for the panel and the log
    RateMeter rate;                // the cycles per second the panel shows
    std::int64_t lastRefresh;      // performance counter at the panel's last refresh
    std::uint64_t cyclesBefore;    // cycles of the bridges that ran before the current one
    std::uint64_t commandsBefore;  // and the commands they forwarded
    bool exitLogged;               // the exit line is written once, however often asked for
    char lastReason[2 * kPanelLineLength + 4];  // the module and add-on lines last logged
    PanelLines panel;                           // what the panel says now
    bool minimised;     // the window is minimised: a NOT OK flashes its taskbar button
    bool flashing;      // the taskbar button flashes until the window is restored
    void* taskbarList;  // the taskbar's ITaskbarList3, once Windows announced the button
    bool taskbarCom;    // COM was taken for it, to be given back at the end
};
extern ShellState g_shell;

// Back to the state of a fresh process; the clock must be stopped. Tests only: a reconnect
// keeps the shell's state.
void ResetShellState();

// What the window does after an event, in this order: minimise, the status text, the menu, the
// lines, the timers, the window's end; then the step that follows, if any.
enum class TimerChange : std::uint8_t { Keep, Set, Kill };
enum class Toggle : std::uint8_t { Keep, On, Off };
enum class ThenStep : std::uint8_t {
    None,
    ConnectNow,    // paint now, then report ShellConnect: the connect may hold the thread
    PauseThenRun,  // paint now, sleep kLoadingPauseMs, then report ShellLoadingEnded
};
struct ShellActions {
    const wchar_t* status = nullptr;         // part 0 of the status bar, when it changes
    Toggle reconnectOffered = Toggle::Keep;  // File > Reconnect enabled, or greyed
    Toggle optionChecked = Toggle::Keep;     // File > Reconnect automatically's check mark
    bool panelChanged = false;               // g_shell.panel was composed anew: show what differs
    TimerChange retryTimer = TimerChange::Keep;  // the one shot of kRetryDelayMs
    TimerChange logTimer = TimerChange::Keep;    // every kLogPeriodMs
    bool minimise = false;
    bool destroyWindow = false;
    ThenStep then = ThenStep::None;
};

// The process began: the one-copy rule, then the log. False for a second copy, which has
// brought the first one forward and is to end.
bool ShellBegin(const WindowsCalls& windows, const wchar_t* windowClassName);
// The window shows: the option read and shown, the log's timer, and the first connect.
ShellActions ShellWindowShown(HWND window);
// The connect that the window announced and painted: the start's, File > Reconnect's or an
// automatic try's. It may hold the window thread for the handshake's nine sends of 2 s.
ShellActions ShellConnect();
// The two seconds of "Status: LOADING" are over: the bridge runs, or Windows gave no clock.
ShellActions ShellLoadingEnded();
// The clock ticked (the message loop's wait, or a window timer).
ShellActions ShellTick();
// File > Reconnect (F5); nothing while the bridge runs.
ShellActions ShellReconnect();
// The automatic reconnect's timer fired.
ShellActions ShellRetryTimer();
// File > Reconnect automatically was chosen.
ShellActions ShellToggleOption();
// The log's timer fired: a line of the pace, or of the waiting.
ShellActions ShellLogTimer();
// File > Exit: the clock stops for good, and the window goes.
ShellActions ShellExit();
// The window went (Exit, or closed): the clock stops for good.
void ShellWindowGone();
// Windows' session ends (`ending`), or a shutdown that another program cancelled (not ending).
ShellActions ShellSessionEnds(bool ending);
// The window was minimised, or restored.
void ShellWindowSized(bool minimised);
// Windows announced the taskbar button ("TaskbarButtonCreated"), also after Explorer restarted:
// from now on the button carries a mark while the status says NOT OK.
void ShellTaskbarButtonCreated();
// Help > Open Log Folder.
void ShellOpenLogFolder();
// The message loop's end: the exit line of the log, once.
void ShellEnd();

// The message loop's wait (see CycleTimer): a tick runs a cycle; a wait that failed hands the
// pace to the window timer, and says so in the log.
ShellActions ShellWaitForTickOrInput();
// A modal loop took the window thread away from the message loop.
void ShellEnterModalLoop();
