// The application shell: the few handles the program owns, its status, and the procedures
// that Windows calls.
#pragma once

#include <windows.h>

#include "app/resource_ids.h"
#include "simlink/link_result.h"

constexpr UINT_PTR kCycleTimerId = 1;    // the one timer; its id is never examined
constexpr UINT kCyclePeriodMs = 10;      // one poll cycle per tick
constexpr DWORD kLoadingPauseMs = 2000;  // how long "Status: LOADING" stands before the bridge runs

extern HINSTANCE g_instance;  // this executable, for its resources
extern HWND g_mainWindow;     // the one top-level window
extern HWND g_statusBar;      // its status bar, the program's only report
extern LinkResult g_status;   // 0 while the bridge runs; the first failure ends it for good

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows text as part 0 of the status bar.
void SetStatusText(const wchar_t* text);
