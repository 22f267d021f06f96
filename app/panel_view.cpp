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
constexpr int kMargin = 6;               // pixels around and between the lines, at 96 DPI
constexpr DWORD kRefreshPeriodMs = 250;  // while running: at most four times a second

HWND g_lines[kLineCount];
HFONT g_font;               // the message font at the window's DPI, owned here
RECT g_room;                // the client area above the status bar, less the margins
int g_margin;               // kMargin at the window's DPI
int g_heights[kLineCount];  // each line's height as laid out
PanelLines g_shown;         // what the lines show now: a line is set again only when it changed
DWORD g_lastRefreshMs;      // GetTickCount of the last refresh

// Sets `line` to `text` unless it shows that already; a set repaints the control. True when
// the text changed.
bool ShowLine(HWND line, const char* text, char (&shown)[kPanelLineLength]) {
    if (std::strcmp(text, shown) == 0) return false;
    SetWindowTextA(line, text);
    std::memcpy(shown, text, sizeof shown);
    return true;
}

// The lines stack from the top, each as tall as its words need at the panel's width in its
// font, so a long reason takes the rows that short lines leave free. Lines move only when a
// height changed; the last one keeps to the room above the status bar.
void StackLines() {
    const char* texts[kLineCount] = {g_shown.module, g_shown.addon, g_shown.bridge};
    int heights[kLineCount];
    const HDC deviceContext = GetDC(g_lines[0]);
    const HGDIOBJ previous = SelectObject(deviceContext, g_font);
    for (int i = 0; i < kLineCount; ++i) {
        RECT needed{0, 0, g_room.right - g_room.left, 0};
        DrawTextA(deviceContext, texts[i], -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        heights[i] = needed.bottom;
    }
    SelectObject(deviceContext, previous);
    ReleaseDC(g_lines[0], deviceContext);
    if (std::memcmp(heights, g_heights, sizeof heights) == 0) return;

    std::memcpy(g_heights, heights, sizeof heights);
    int top = g_room.top;
    for (int i = 0; i < kLineCount; ++i) {
        const int height = i + 1 == kLineCount ? g_room.bottom - top : heights[i];
        MoveWindow(g_lines[i], g_room.left, top, g_room.right - g_room.left, height, TRUE);
        top += height + g_margin;
    }
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
    if (!g_font) g_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const auto font = reinterpret_cast<WPARAM>(g_font);
    SendMessageW(g_statusBar, WM_SETFONT, font, FALSE);
    SendMessageW(g_statusBar, WM_SIZE, 0, 0);  // its height follows the font
    for (const HWND line : g_lines) SendMessageW(line, WM_SETFONT, font, TRUE);

    RECT client{};
    GetClientRect(window, &client);
    RECT bar{};
    GetWindowRect(g_statusBar, &bar);
    g_margin = ScaleForDpi(kMargin, dpi);
    g_room = {g_margin, g_margin, client.right - g_margin,
              client.bottom - (bar.bottom - bar.top) - g_margin};
    std::memset(g_heights, 0xFF, sizeof g_heights);  // no height yet: every line moves
    StackLines();
    if (previous && previous != g_font) DeleteObject(previous);
}

void RefreshPanel() {
    PanelLines lines;
    ComposePanel({g_phase, g_status, CyclesPerSecond(), &g_retry}, lines);
    bool changed = ShowLine(g_lines[0], lines.module, g_shown.module);
    changed |= ShowLine(g_lines[1], lines.addon, g_shown.addon);
    changed |= ShowLine(g_lines[2], lines.bridge, g_shown.bridge);
    if (changed) StackLines();
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
