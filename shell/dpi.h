// The display scale: Quorvane declares itself aware of each monitor's DPI, so Windows does not
// stretch its bitmap; it sizes its window and chooses its font for the DPI itself. The calls that
// older Windows lack come from the shell's table, each with its fallback here.
#pragma once

#include "platform/win32.h"
#include "shell/windows_calls.h"

constexpr UINT kBaseDpi = 96;  // 100 %: the window's sizes are given for this

// `value` * `by` / `per`, rounded half away from zero as MulDiv rounds; `per` above 0.
constexpr int ScaleRounded(long long value, long long by, long long per) {
    const long long scaled = value * by;
    return static_cast<int>(scaled >= 0 ? (scaled + per / 2) / per : -((-scaled + per / 2) / per));
}
static_assert(ScaleRounded(300, 144, 96) == 450 && ScaleRounded(-11, 120, 96) == -14);

// `value` pixels at 96 DPI, at `dpi`.
constexpr int ScaleForDpi(int value, UINT dpi) {
    return ScaleRounded(value, dpi, kBaseDpi);
}

// The DPI of the primary monitor at start, where the window opens.
UINT SystemDpi(const WindowsCalls& windows);
// The DPI of the monitor `window` is on.
UINT DpiOfWindow(const WindowsCalls& windows, HWND window);
// The system's message font at `dpi`, as the panel shows it; false where none can be had.
bool MessageFontForDpi(const WindowsCalls& windows, UINT dpi, LOGFONTW& font);
// The window rectangle around a client area `clientHeight` pixels tall for a window of this
// style with a menu bar, at `dpi`; its top left is the client's.
RECT WindowRectForClient(const WindowsCalls& windows, int clientHeight, DWORD style,
                         DWORD extendedStyle, UINT dpi);
