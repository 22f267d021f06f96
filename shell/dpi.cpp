#include "shell/dpi.h"

UINT SystemDpi(const WindowsCalls& windows) {
    if (const UINT dpi = windows.dpiForSystem(); dpi != 0) return dpi;
    // Windows before 10 (1607): the screen's DPI is the system's.
    const UINT screen = windows.screenDpi();
    return screen != 0 ? screen : kBaseDpi;
}

UINT DpiOfWindow(const WindowsCalls& windows, HWND window) {
    const UINT dpi = windows.dpiForWindow(window);
    return dpi != 0 ? dpi : SystemDpi(windows);
}

bool MessageFontForDpi(const WindowsCalls& windows, UINT dpi, LOGFONTW& font) {
    if (windows.messageFontForDpi(dpi, font)) return true;
    // Before Windows 10 (1607) the metrics are the system DPI's; scaled to this one, rounded as
    // MulDiv rounds.
    if (!windows.messageFontOfSystem(font)) return false;
    font.lfHeight = ScaleRounded(font.lfHeight, dpi, SystemDpi(windows));
    return true;
}

RECT WindowRectForClient(const WindowsCalls& windows, int clientHeight, DWORD style,
                         DWORD extendedStyle, UINT dpi) {
    RECT rect{0, 0, 0, clientHeight};
    if (windows.frameForDpi(rect, style, extendedStyle, dpi)) return rect;
    // Before Windows 10 (1607): the frame at the system DPI. The panel corrects what the
    // window's own DPI makes of it once the window has its size.
    rect = {0, 0, 0, clientHeight};
    windows.frameOfSystem(rect, style, extendedStyle);
    return rect;
}
