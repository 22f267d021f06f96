// The panel: three static lines between the menu and the status bar that say what became of
// the simulator module, the add-on and the bridge. Standard "Static" controls, so that screen
// readers, UI automation and tests read them with WM_GETTEXT.
#include <windows.h>

#include <cstring>

#include "app/dpi.h"
#include "app/quorvane.h"

namespace {

constexpr int kLineIds[] = {IDC_PANEL_MODULE, IDC_PANEL_ADDON, IDC_PANEL_BRIDGE};
constexpr int kLineCount = sizeof kLineIds / sizeof kLineIds[0];
// The lines share the height in these parts: the module's and the bridge's may wrap to three
// rows of text, the add-on's to two.
constexpr int kLineShares[kLineCount] = {3, 2, 3};
constexpr int kMargin = 6;               // pixels around and between the lines, at 96 DPI
constexpr DWORD kRefreshPeriodMs = 250;  // while running: at most four times a second

HWND g_lines[kLineCount];
HFONT g_font;           // the message font at the window's DPI, owned here
PanelLines g_shown;     // what the lines show now: a line is set again only when it changed
DWORD g_lastRefreshMs;  // GetTickCount of the last refresh

// Sets `line` to `text` unless it shows that already; a set repaints the control.
void ShowLine(HWND line, const char* text, char (&shown)[kPanelLineLength]) {
    if (std::strcmp(text, shown) == 0) return;
    SetWindowTextA(line, text);
    std::memcpy(shown, text, sizeof shown);
}

}  // namespace

// Runs once, from the main window's creation, after the status bar exists. Each line wraps its
// words.
void CreatePanel(HWND window) {
    for (int i = 0; i < kLineCount; ++i) {
        g_lines[i] = CreateWindowExW(
            0, L"Static", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLineIds[i])), g_instance, nullptr);
    }
    LayOutPanel(window, DpiOfWindow(window));
}

// The status bar and the lines take the message font for `dpi`; the lines share the client
// area above the bar.
void LayOutPanel(HWND window, UINT dpi) {
    const HFONT previous = g_font;
    g_font = CreateMessageFont(dpi);
    const auto font = reinterpret_cast<WPARAM>(g_font ? g_font : GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(g_statusBar, WM_SETFONT, font, FALSE);
    SendMessageW(g_statusBar, WM_SIZE, 0, 0);  // its height follows the font

    RECT client{};
    GetClientRect(window, &client);
    RECT bar{};
    GetWindowRect(g_statusBar, &bar);
    const int margin = ScaleForDpi(kMargin, dpi);
    const int width = client.right - 2 * margin;
    const int height = client.bottom - (bar.bottom - bar.top) - (kLineCount + 1) * margin;
    int shares = 0;
    for (const int share : kLineShares) shares += share;
    int top = margin;
    for (int i = 0; i < kLineCount; ++i) {
        const int lineHeight = height * kLineShares[i] / shares;
        MoveWindow(g_lines[i], margin, top, width, lineHeight, TRUE);
        SendMessageW(g_lines[i], WM_SETFONT, font, TRUE);
        top += lineHeight + margin;
    }
    if (previous) DeleteObject(previous);
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
