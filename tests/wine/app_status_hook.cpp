// app_status_hook.dll: a WH_CALLWNDPROC hook that the tests set on Quorvane's window thread.
// Windows loads it into Quorvane's process; it notes every text set as part 0 of a status bar
// into the tests' trace mapping, with the time and whether the main window was minimised, and
// measures the panel there when asked.
#include <windows.h>
// After windows.h, whose types it needs.
#include <commctrl.h>

#include <cstring>

#include "app/resource_ids.h"
#include "tests/wine/app_status_trace.h"

namespace {

bool IsStatusBar(HWND window) {
    wchar_t className[32] = L"";
    GetClassNameW(window, className, 32);
    return lstrcmpiW(className, STATUSCLASSNAMEW) == 0;
}

// Changes the trace in the tests' mapping.
template <typename Change>
void UpdateTrace(Change change) {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, kStatusTraceMappingName);
    if (mapping == nullptr) return;
    auto* view = static_cast<std::uint8_t*>(
        MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(StatusTrace)));
    if (view != nullptr) {
        StatusTrace trace;
        std::memcpy(&trace, view, sizeof trace);
        change(trace);
        std::memcpy(view, &trace, sizeof trace);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
}

void Record(HWND statusBar, const wchar_t* text) {
    UpdateTrace([&](StatusTrace& trace) {
        if (trace.count < kStatusTraceCapacity) {
            StatusTraceEntry& entry = trace.entries[trace.count];
            lstrcpynW(entry.text, text, kStatusTextLength);
            entry.tickMs = GetTickCount64();
            entry.windowMinimised = IsIconic(GetParent(statusBar)) ? 1 : 0;
        }
        ++trace.count;
    });
}

void RecordReconnectMenuState(HWND window) {
    UpdateTrace([&](StatusTrace& trace) {
        trace.reconnectMenuState = GetMenuState(GetMenu(window), IDM_RECONNECT, MF_BYCOMMAND);
    });
}

// `child`'s rectangle in `window`'s client coordinates.
RECT ClientRectOf(HWND window, HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Each line's place, and the height its text needs in its own font, wrapped as a left-aligned
// static control without prefixes wraps it.
void MeasurePanel(HWND window) {
    PanelMeasure measure{};
    GetClientRect(window, &measure.client);
    measure.statusBar =
        ClientRectOf(window, FindWindowExW(window, nullptr, STATUSCLASSNAMEW, nullptr));
    const int ids[] = {IDC_PANEL_MODULE, IDC_PANEL_ADDON, IDC_PANEL_BRIDGE};
    const HDC deviceContext = GetDC(window);
    for (int i = 0; i < 3; ++i) {
        const HWND line = GetDlgItem(window, ids[i]);
        MeasuredLine& measured = measure.lines[i];
        measured.rect = ClientRectOf(window, line);
        const auto font = reinterpret_cast<HFONT>(SendMessageW(line, WM_GETFONT, 0, 0));
        GetObjectW(font, sizeof measured.font, &measured.font);
        const HGDIOBJ previous = SelectObject(deviceContext, font);
        wchar_t text[256] = L"";
        GetWindowTextW(line, text, 256);
        RECT needed{0, 0, measured.rect.right - measured.rect.left, 0};
        DrawTextW(deviceContext, text, -1, &needed,
                  DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
        measured.textHeight = needed.bottom;
        SelectObject(deviceContext, previous);
    }
    ReleaseDC(window, deviceContext);
    UpdateTrace([&](StatusTrace& trace) {
        measure.count = trace.panel.count + 1;
        trace.panel = measure;
    });
}

// What Windows tells a window moved to a monitor at `dpi`: the DPI, and where it suggests the
// window goes there.
void MoveToScale(HWND window, UINT dpi) {
    RECT suggested{};
    GetWindowRect(window, &suggested);
    const int scale = static_cast<int>(GetDpiForWindow(window));
    suggested.right = suggested.left + MulDiv(suggested.right - suggested.left, dpi, scale);
    suggested.bottom = suggested.top + MulDiv(suggested.bottom - suggested.top, dpi, scale);
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    StatusHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        // Part 0 with no drawing flags: the only way Quorvane sets a text.
        if (call->message == SB_SETTEXTW && call->wParam == 0 && IsStatusBar(call->hwnd)) {
            Record(call->hwnd, reinterpret_cast<const wchar_t*>(call->lParam));
        }
        if (call->message == WM_GETTEXT && GetMenu(call->hwnd) != nullptr) {
            RecordReconnectMenuState(call->hwnd);
        }
        // A child's "menu" is its control id: only the top-level window with a menu counts.
        if (call->message == WM_WINDOWPOSCHANGING && GetParent(call->hwnd) == nullptr &&
            GetMenu(call->hwnd) != nullptr &&
            !(reinterpret_cast<const WINDOWPOS*>(call->lParam)->flags & SWP_NOSIZE)) {
            UpdateTrace([](StatusTrace& trace) { ++trace.resizes; });
        }
        static const UINT measurePanel = RegisterWindowMessageW(kMeasurePanelMessageName);
        if (call->message == measurePanel) {
            if (call->wParam != 0) MoveToScale(call->hwnd, static_cast<UINT>(call->wParam));
            MeasurePanel(call->hwnd);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
