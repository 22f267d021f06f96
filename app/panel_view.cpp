#include "app/panel_view.h"

// After windows.h, whose types it needs.
#include <commctrl.h>

#include <cstring>

#include "app/real_windows.h"
#include "app/resource_ids.h"
#include "shell/dpi.h"
#include "shell/panel_layout.h"

namespace {

constexpr int kLineIds[kPanelLineCount] = {IDC_PANEL_MODULE, IDC_PANEL_ADDON, IDC_PANEL_BRIDGE};
constexpr UINT kLineTextFlags = DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;  // as a line draws
constexpr UINT_PTR kLineSubclassId = 1;

HWND g_window;  // the main window, which the panel fills
HWND g_statusBar;
HWND g_lines[kPanelLineCount];
HFONT g_font;                // the message font at the window's DPI, owned here
UINT g_dpi;                  // the DPI the panel is laid out for
PanelPlacement g_placement;  // where the lines stand
PanelLines g_shown;          // what the lines show: a line is set again only when it changed
bool g_showing;              // ShowPanel sets lines: it lays out once, after all of them

// The panel's window as the layout sees it: the real controls, their words measured in `font`
// (the lines' own, or another DPI's) with the status bar as tall as it is at `dpi`.
class LiveWindow final : public PanelWindow {
  public:
    explicit LiveWindow(HFONT font = g_font, UINT dpi = g_dpi) : font_(font), dpi_(dpi) {}

    bool Minimised() override { return IsIconic(g_window) != 0; }

    int TextHeight(int line, int width) override {
        wchar_t text[kPanelLineLength] = L"";
        GetWindowTextW(g_lines[line], text, kPanelLineLength);
        const HDC deviceContext = GetDC(g_window);
        const HGDIOBJ previous = SelectObject(deviceContext, font_);
        RECT needed{0, 0, width, 0};
        DrawTextW(deviceContext, text, -1, &needed, DT_CALCRECT | kLineTextFlags);
        SelectObject(deviceContext, previous);
        ReleaseDC(g_window, deviceContext);
        return needed.bottom;
    }

    RECT WindowRect() override {
        RECT rect{};
        GetWindowRect(g_window, &rect);
        return rect;
    }

    RECT ClientRect() override {
        RECT rect{};
        GetClientRect(g_window, &rect);
        return rect;
    }

    int StatusBarHeight() override {
        RECT bar{};
        GetWindowRect(g_statusBar, &bar);
        return ScaleRounded(bar.bottom - bar.top, dpi_, g_dpi);
    }

    void Resize(int width, int height) override {
        SetWindowPos(g_window, nullptr, 0, 0, width, height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(g_statusBar, WM_SIZE, 0, 0);
    }

    void PlaceLine(int line, const RECT& place) override {
        MoveWindow(g_lines[line], place.left, place.top, place.right - place.left,
                   place.bottom - place.top, TRUE);
    }

  private:
    HFONT font_;
    UINT dpi_;
};

// The message font at `dpi`, or the stock one where none can be had; the caller deletes it.
HFONT CreatePanelFont(UINT dpi) {
    LOGFONTW font{};
    const HFONT made =
        MessageFontForDpi(kRealWindows, dpi, font) ? CreateFontIndirectW(&font) : nullptr;
    return made != nullptr ? made : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

RECT ForeseenFrame(UINT dpi) {
    return WindowRectForClient(kRealWindows, 0,
                               static_cast<DWORD>(GetWindowLongW(g_window, GWL_STYLE)),
                               static_cast<DWORD>(GetWindowLongW(g_window, GWL_EXSTYLE)), dpi);
}

void StackLines() {
    LiveWindow window;
    LayOutPanelLines(window, ForeseenFrame(g_dpi), g_dpi, g_placement);
}

// In front of each line's own procedure: whoever else changes a line's text, the lines are
// stacked again for it, so a reason that takes one more row never shows clipped or over the
// next line. The panel's own changes are laid out once, after the last of them.
LRESULT CALLBACK LineProc(HWND line, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR) {
    const LRESULT result = DefSubclassProc(line, message, wParam, lParam);
    if (message == WM_SETTEXT && !g_showing) StackLines();
    return result;
}

bool ShowLine(int line, const char* text, char (&shown)[kPanelLineLength]) {
    if (std::strcmp(text, shown) == 0) return false;
    SetWindowTextA(g_lines[line], text);
    std::memcpy(shown, text, sizeof shown);
    return true;
}

}  // namespace

void CreatePanel(HWND window, HWND statusBar) {
    g_window = window;
    g_statusBar = statusBar;
    for (int i = 0; i < kPanelLineCount; ++i) {
        g_lines[i] = CreateWindowExW(
            0, L"Static", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLineIds[i])),
            reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)), nullptr);
        SetWindowSubclass(g_lines[i], LineProc, kLineSubclassId, 0);
    }
    // The window was sized for the system's DPI, which may be stale when the scale changed
    // without signing out: it is laid out here for its own.
    LayOutPanel(DpiOfWindow(kRealWindows, window));
}

void LayOutPanel(UINT dpi) {
    const HFONT previous = g_font;
    g_font = CreatePanelFont(dpi);
    const auto fontParameter = reinterpret_cast<WPARAM>(g_font);
    SendMessageW(g_statusBar, WM_SETFONT, fontParameter, FALSE);
    SendMessageW(g_statusBar, WM_SIZE, 0, 0);  // its height follows the font
    for (const HWND line : g_lines) SendMessageW(line, WM_SETFONT, fontParameter, TRUE);
    g_dpi = dpi;
    g_placement.laidOut = false;  // every line moves
    StackLines();
    if (previous && previous != g_font) DeleteObject(previous);
}

void ShowPanel(const PanelLines& lines) {
    g_showing = true;
    bool changed = ShowLine(0, lines.module, g_shown.module);
    changed |= ShowLine(1, lines.addon, g_shown.addon);
    changed |= ShowLine(2, lines.bridge, g_shown.bridge);
    g_showing = false;
    if (changed) StackLines();
}

bool PanelSizeAtDpi(UINT dpi, SIZE& size) {
    if (g_dpi == 0) return false;
    const HFONT font = CreatePanelFont(dpi);
    LiveWindow measured(font, dpi);
    const auto [width, height] = PanelWindowSizeAt(measured, ForeseenFrame(dpi), dpi);
    DeleteObject(font);
    size = {width, height};
    return true;
}

void FitPanelAfterRestore() {
    if (!g_placement.laidOut) StackLines();
}

LRESULT OnCtlColorStatic(HDC deviceContext) {
    SetBkColor(deviceContext, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
}
