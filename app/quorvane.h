// The application shell: the few handles the program owns, its status, and the procedures
// that Windows calls.
#pragma once

#include <windows.h>

#include "app/resource_ids.h"
#include "panel/panel.h"
#include "shell/bridge_run.h"
#include "shell/retry_schedule.h"
#include "simlink/link_result.h"

constexpr DWORD kLoadingPauseMs = 2000;  // how long "Status: LOADING" stands before the bridge runs
constexpr UINT_PTR kRetryTimerId = 2;    // one shot: the next automatic reconnect is due
constexpr UINT_PTR kLogTimerId = 3;      // the log's line every 10 minutes
constexpr UINT kLogPeriodMs = 10 * 60 * 1000;

// What started the connect whose outcome is reported next, for the log.
enum class ConnectCause { Start, Menu, Automatic };

extern HINSTANCE g_instance;         // this executable, for its resources
extern HWND g_mainWindow;            // the one top-level window
extern HWND g_statusBar;             // its status bar, the program's only report
extern RetrySchedule g_retry;        // the automatic reconnect: the option and the next try
extern ConnectCause g_connectCause;  // what started the last connect
// The cycle timer's system calls.
extern const PaceSystem kWindowsPace;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows text as part 0 of the status bar.
void SetStatusText(const wchar_t* text);
// "Status: NOT OK", File > Reconnect offered, and the panel saying why.
void ReportNotOk();

// Connects both sides (at start, and again on File > Reconnect) and starts the bridge, or says
// why not.
void StartBridgeOrReport();
// File > Reconnect: release both sides and start again, as a new process would.
void Reconnect();

// The panel above the status bar, its three lines created once with the window, and laid out
// again for each DPI the window meets.
void CreatePanel(HWND window);
void LayOutPanel(HWND window, UINT dpi);
// After the window was restored: the lines that changed while it was minimised are stacked.
void FitPanelAfterRestore();
// Sets every line that changed; RefreshPanelWhenDue does so at most four times a second.
void RefreshPanel();
void RefreshPanelWhenDue();
// Colours the panel's lines like the window behind them.
LRESULT OnCtlColorStatic(HDC deviceContext);

// The automatic reconnect (auto_reconnect.cpp). The option is read once the menu exists;
// ScheduleRetry runs after every outcome and sets or kills the retry timer.
void LoadReconnectOption();
void ToggleReconnectOption();
void ScheduleRetry();
void OnRetryTimer();

// The log and the pace (event_log.cpp).
void LogStart();
// The outcome just shown (OK, NOT OK, or the bridge stopped), as a line of the log.
void NoteOutcome();
// Before a reconnect lets go of the bridge: its counts go into the totals logged at exit.
void CountBridgeRun();
void RestartPace();
// One performance-counter read and a few counters: all the cycle spends on its pace.
void NotePaceCycle();
// Over the last second or more; negative until a second has passed.
double CyclesPerSecond();
void OnLogTimer();
// The exit line, once however often it is asked for.
void LogExit();
// Help > Open Log Folder.
void OpenLogFolder();
