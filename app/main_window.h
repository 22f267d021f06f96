// The main window: a status bar that reports whether both sides were reached, the panel above
// it, a menu, and the ticks that run one poll cycle each. Its procedure only routes each message
// to its handler, and each handler hands the event to the shell and carries out what it says.
#pragma once

#include <windows.h>

#include "shell/shell.h"

constexpr UINT_PTR kRetryTimerId = 2;  // one shot: the next automatic reconnect is due
constexpr UINT_PTR kLogTimerId = 3;    // the log's line every 10 minutes

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Carries out what the shell asked of the window, and the steps that follow from it.
void CarryOut(HWND window, ShellActions actions);
