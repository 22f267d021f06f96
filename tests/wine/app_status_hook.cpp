// app_status_hook.dll: a WH_CALLWNDPROC hook that the tests set on Quorvane's window thread.
// Windows loads it into Quorvane's process; it notes every text set as part 0 of a status bar
// into the tests' trace mapping, with the time and whether the main window was minimised.
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
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
