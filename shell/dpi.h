// The display scale: Quorvane declares itself aware of each monitor's DPI, so Windows does not
// stretch its bitmap; it sizes its window and chooses its font for the DPI itself. Calls that
// older Windows lack are looked up, with a fallback.
#pragma once

#include <windows.h>

constexpr UINT kBaseDpi = 96;  // 100 %: the window's sizes are given for this

// `value` pixels at 96 DPI, at `dpi`.
inline int ScaleForDpi(int value, UINT dpi) {
    return MulDiv(value, static_cast<int>(dpi), kBaseDpi);
}

// The DPI of the primary monitor at start, where the window opens.
UINT SystemDpi();
// The DPI of the monitor `window` is on.
UINT DpiOfWindow(HWND window);
// The system's message font at `dpi`, as the panel shows it; the caller deletes it.
HFONT CreateMessageFont(UINT dpi);
// The window rectangle around a client area `clientHeight` pixels tall for a window of this
// style with a menu bar, at `dpi`; its top left is the client's.
RECT WindowRectForClient(int clientHeight, DWORD style, DWORD extendedStyle, UINT dpi);
