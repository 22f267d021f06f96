// The status bar texts Quorvane sets, as a hook inside its process records them for the tests:
// the window thread sleeps through "Status: LOADING", so no message from outside could read
// that text while it stands.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

constexpr wchar_t kStatusTraceMappingName[] = L"QuorvaneTestStatusTrace";
constexpr std::size_t kStatusTraceCapacity = 64;
constexpr std::size_t kStatusTextLength = 32;

struct StatusTraceEntry {
    wchar_t text[kStatusTextLength];  // the text of part 0, cut to fit
    std::uint64_t tickMs;             // GetTickCount64 when it was set
    std::uint32_t windowMinimised;    // whether the main window was minimised then
    std::uint32_t reserved;
};

// One panel line as the hook measured it.
struct MeasuredLine {
    RECT rect;                // its control, in the main window's client coordinates
    std::int32_t textHeight;  // what DrawText says its text needs at that width in that font
    LOGFONTW font;            // the control's font (WM_GETFONT)
};

// The panel as Quorvane laid it out, measured inside its process when the tests send the main
// window kMeasurePanelMessageName: a font is a handle of the process that made it, so only there
// can a line be measured in the font its control holds. A DPI in its wParam moves the window to
// that scale first, as WM_DPICHANGED tells it.
struct PanelMeasure {
    std::uint32_t count;  // measures taken so far
    RECT client;          // the main window's client area
    RECT statusBar;       // in client coordinates
    MeasuredLine lines[3];
};
constexpr wchar_t kMeasurePanelMessageName[] = L"QuorvaneTestMeasurePanel";

// The mapping's whole content; copied in and out with memcpy.
struct StatusTrace {
    std::uint32_t count;  // entries recorded; those beyond the capacity are dropped
    // GetMenuState of File > Reconnect when the main window last got WM_GETTEXT: menus stay in
    // their own process under Wine, so only the hook can read them.
    std::uint32_t reconnectMenuState;
    StatusTraceEntry entries[kStatusTraceCapacity];
    PanelMeasure panel;     // the last measure of the panel
    std::uint32_t resizes;  // SetWindowPos calls that sized the main window
};

// The hook procedure's exported name in app_status_hook.dll.
constexpr char kStatusHookProcName[] = "StatusHookProc";
