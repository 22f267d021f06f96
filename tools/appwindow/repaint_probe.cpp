#include "tools/appwindow/repaint_probe.h"

namespace {

double NowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1e3;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

}  // namespace

double RepaintMs(HWND window, DWORD giveUpMs) {
    const double invalidated = NowMs();
    if (!InvalidateRect(window, nullptr, TRUE)) return -1.0;
    // Looked at once a millisecond: the figure is good to about that, far below what matters.
    for (;;) {
        RECT unpainted;
        const double now = NowMs();
        if (!GetUpdateRect(window, &unpainted, FALSE)) return now - invalidated;
        if (now - invalidated > giveUpMs) return -1.0;
        Sleep(1);
    }
}
