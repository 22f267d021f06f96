// The panel: three static lines between the menu and the status bar that say what became of
// the simulator module, the add-on and the bridge. Standard "Static" controls, so that screen
// readers, UI automation and tests read them with WM_GETTEXT.
#include <windows.h>

#include <cstring>

#include "app/quorvane.h"

namespace {

constexpr int kLineIds[] = {IDC_PANEL_MODULE, IDC_PANEL_ADDON, IDC_PANEL_BRIDGE};
constexpr int kLineCount = sizeof kLineIds / sizeof kLineIds[0];
constexpr int kMargin = 6;               // pixels around and between the lines
constexpr DWORD kRefreshPeriodMs = 250;  // while running: at most four times a second

HWND g_lines[kLineCount];
PanelLines g_shown;     // what the lines show now: a line is set again only when it changed
DWORD g_lastRefreshMs;  // GetTickCount of the last refresh

// Sets `line` to `text` unless it shows that already; a set repaints the control.
void ShowLine(HWND line, const char* text, char (&shown)[kPanelLineLength]) {
    if (std::strcmp(text, shown) == 0) return;
    SetWindowTextA(line, text);
    std::memcpy(shown, text, sizeof shown);
}

}  // namespace

// Runs once, from the main window's creation, after the status bar exists. The lines share
// the client area above it; each wraps its words.
void CreatePanel(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    RECT bar{};
    GetWindowRect(g_statusBar, &bar);
    const int width = client.right - 2 * kMargin;
    const int height = (client.bottom - (bar.bottom - bar.top) - kMargin) / kLineCount - kMargin;
    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    for (int i = 0; i < kLineCount; ++i) {
        g_lines[i] = CreateWindowExW(
            0, L"Static", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, kMargin,
            kMargin + i * (height + kMargin), width, height, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLineIds[i])), g_instance, nullptr);
        SendMessageW(g_lines[i], WM_SETFONT, font, FALSE);
    }
}

void RefreshPanel() {
    PanelLines lines;
    ComposePanel({g_phase, g_status, CyclesPerSecond(), &g_retry}, lines);
    ShowLine(g_lines[0], lines.module, g_shown.module);
    ShowLine(g_lines[1], lines.addon, g_shown.addon);
    ShowLine(g_lines[2], lines.bridge, g_shown.bridge);
    g_lastRefreshMs = GetTickCount();
}

void RefreshPanelWhenDue() {
    // Unsigned difference: right across the tick count's wrap after 49.7 days.
    if (GetTickCount() - g_lastRefreshMs >= kRefreshPeriodMs) RefreshPanel();
}

LRESULT OnCtlColorStatic(HDC deviceContext) {
    SetBkColor(deviceContext, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
}
