// The panel: three static lines between the menu and the status bar that say what became of
// the simulator module, the add-on and the bridge. Standard "Static" controls, so that screen
// readers, UI automation and tests read them with WM_GETTEXT. The window is as tall as their
// words need in the font they show, and never smaller than 300 x 200 at 96 DPI.
#include <windows.h>
// After windows.h, whose types it needs.
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "shell/dpi.h"
#include "app/quorvane.h"

namespace {

constexpr int kLineIds[] = {IDC_PANEL_MODULE, IDC_PANEL_ADDON, IDC_PANEL_BRIDGE};
constexpr int kLineCount = sizeof kLineIds / sizeof kLineIds[0];
constexpr int kMargin = 6;               // pixels around and between the lines, at 96 DPI
constexpr int kWindowWidth = 300;        // the window at 96 DPI: always this wide,
constexpr int kLeastWindowHeight = 200;  // and at least this tall
constexpr UINT kLineTextFlags = DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;  // as a line draws
constexpr UINT_PTR kLineSubclassId = 1;
constexpr DWORD kRefreshPeriodMs = 250;  // while running: at most four times a second

HWND g_window;  // the main window, which the panel fills
HWND g_lines[kLineCount];
HFONT g_font;               // the message font at the window's DPI, owned here
UINT g_dpi;                 // the DPI the panel is laid out for
int g_margin;               // kMargin at that DPI
int g_heights[kLineCount];  // each line's text height as laid out; -1 until it is
PanelLines g_shown;         // what the lines show now: a line is set again only when it changed
DWORD g_lastRefreshMs;      // GetTickCount of the last refresh

// Sets `line` to `text` unless it shows that already; a set repaints the control and stacks
// the lines again.
void ShowLine(HWND line, const char* text, char (&shown)[kPanelLineLength]) {
    if (std::strcmp(text, shown) == 0) return;
    SetWindowTextA(line, text);
    std::memcpy(shown, text, sizeof shown);
}

// The height each line's text needs at `width` pixels in the panel's font, wrapped as the
// control wraps it.
void MeasureLines(int width, int (&heights)[kLineCount]) {
    const HDC deviceContext = GetDC(g_window);
    const HGDIOBJ previous = SelectObject(deviceContext, g_font);
    for (int i = 0; i < kLineCount; ++i) {
        wchar_t text[kPanelLineLength] = L"";
        GetWindowTextW(g_lines[i], text, kPanelLineLength);
        RECT needed{0, 0, width, 0};
        DrawTextW(deviceContext, text, -1, &needed, DT_CALCRECT | kLineTextFlags);
        heights[i] = needed.bottom;
    }
    SelectObject(deviceContext, previous);
    ReleaseDC(g_window, deviceContext);
}

int StatusBarHeight() {
    RECT bar{};
    GetWindowRect(g_statusBar, &bar);
    return bar.bottom - bar.top;
}

// Resizes the window where it stands; the status bar follows to its new bottom.
void SetWindowSize(int width, int height) {
    SetWindowPos(g_window, nullptr, 0, 0, width, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(g_statusBar, WM_SIZE, 0, 0);
}

// Each line's text height with a margin around and between the lines and the status bar below.
int ClientHeightFor(const int (&heights)[kLineCount]) {
    int needed = g_margin + StatusBarHeight();
    for (const int height : heights) needed += height + g_margin;
    return needed;
}

// The lines stack from the top, each as tall as its words need at the panel's width in its
// font, so a long reason takes the rows that short lines leave free; the last one reaches down
// to the status bar. The window is 300 wide at 96 DPI and as tall as the lines need, or 200.
// Nothing moves while no height changed. A minimised window has no client area to fit: the
// lines wait until it is restored.
void StackLines() {
    if (IsIconic(g_window)) {
        std::fill(std::begin(g_heights), std::end(g_heights), -1);
        return;
    }
    const RECT frame =
        WindowRectForClient(0, static_cast<DWORD>(GetWindowLongW(g_window, GWL_STYLE)),
                            static_cast<DWORD>(GetWindowLongW(g_window, GWL_EXSTYLE)), g_dpi);
    const int width = ScaleForDpi(kWindowWidth, g_dpi);
    int heights[kLineCount];
    MeasureLines(width - (frame.right - frame.left) - 2 * g_margin, heights);
    if (std::memcmp(heights, g_heights, sizeof heights) == 0) return;
    std::memcpy(g_heights, heights, sizeof heights);

    const int height = ClientHeightFor(heights) + frame.bottom - frame.top;
    SetWindowSize(width, std::max(ScaleForDpi(kLeastWindowHeight, g_dpi), height));
    // Where the frame came out other than foreseen (a menu bar wrapped into two rows, or the
    // system DPI's frame where Windows lacks the call for the window's own), the lines are
    // measured in the client area the window really has, and the window gets what it lacks.
    RECT client{};
    GetClientRect(g_window, &client);
    MeasureLines(client.right - 2 * g_margin, heights);
    const int lacking = ClientHeightFor(heights) - client.bottom;
    if (lacking > 0) {
        RECT now{};
        GetWindowRect(g_window, &now);
        SetWindowSize(width, now.bottom - now.top + lacking);
        GetClientRect(g_window, &client);
    }
    const int bottom = client.bottom - StatusBarHeight() - g_margin;
    int top = g_margin;
    for (int i = 0; i < kLineCount; ++i) {
        const int lineHeight = i + 1 == kLineCount ? bottom - top : heights[i];
        MoveWindow(g_lines[i], g_margin, top, client.right - 2 * g_margin, lineHeight, TRUE);
        top += lineHeight + g_margin;
    }
}

// In front of each line's own procedure: whoever changes a line's text, the lines are stacked
// again for it, so a reason that takes one more row never shows clipped or over the next line.
LRESULT CALLBACK LineProc(HWND line, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR) {
    const LRESULT result = DefSubclassProc(line, message, wParam, lParam);
    if (message == WM_SETTEXT) StackLines();
    return result;
}

}  // namespace

// Runs once, from the main window's creation, after the status bar exists. Each line wraps its
// words. The window was sized for the system's DPI, which may be stale when the scale changed
// without signing out: it is laid out again here for its own.
void CreatePanel(HWND window) {
    for (int i = 0; i < kLineCount; ++i) {
        g_lines[i] = CreateWindowExW(
            0, L"Static", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLineIds[i])), g_instance, nullptr);
        SetWindowSubclass(g_lines[i], LineProc, kLineSubclassId, 0);
    }
    LayOutPanel(window, DpiOfWindow(window));
}

// The status bar and the lines take the message font for `dpi`, and the lines are stacked
// again in it, the window sized for that DPI.
void LayOutPanel(HWND window, UINT dpi) {
    g_window = window;
    const HFONT previous = g_font;
    g_font = CreateMessageFont(dpi);
    if (!g_font) g_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const auto font = reinterpret_cast<WPARAM>(g_font);
    SendMessageW(g_statusBar, WM_SETFONT, font, FALSE);
    SendMessageW(g_statusBar, WM_SIZE, 0, 0);  // its height follows the font
    for (const HWND line : g_lines) SendMessageW(line, WM_SETFONT, font, TRUE);

    g_dpi = dpi;
    g_margin = ScaleForDpi(kMargin, dpi);
    std::fill(std::begin(g_heights), std::end(g_heights), -1);  // every line moves
    StackLines();
    if (previous && previous != g_font) DeleteObject(previous);
}

void FitPanelAfterRestore() {
    if (g_heights[0] < 0) StackLines();
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
