// The About box: a modal dialog that only OK, Escape or its close box ends.
#pragma once

#include <windows.h>

// Runs for each message of the About box while it is open.
INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
