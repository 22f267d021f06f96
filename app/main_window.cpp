// The main window: a status bar that reports whether both sides were reached, a menu, and the
// timer that runs one poll cycle per tick. The window procedure only routes.
#include <windows.h>
// After windows.h, whose types it needs.
#include <commctrl.h>

#include "app/quorvane.h"
#include "bridge/connection.h"

static_assert(SB_SETTEXTW == 1035);

void SetStatusText(const wchar_t* text) {
    // Part 0, no drawing flags.
    SendMessageW(g_statusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text));
}

void ReportNotOk() {
    SetStatusText(L"Status: NOT OK");
    EnableMenuItem(GetMenu(g_mainWindow), IDM_RECONNECT, MF_BYCOMMAND | MF_ENABLED);
    NoteOutcome();
    ScheduleRetry();
    RefreshPanel();
}

namespace {

// Runs inside CreateWindowExW, before the window shows. The panel fills what the status bar
// leaves of the client area.
LRESULT OnCreate(HWND window) {
    g_statusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0,
                                  0, 0, window, nullptr, g_instance, nullptr);
    CreatePanel(window);
    return 0;
}

// Runs whenever the window needs painting; the status bar draws itself.
LRESULT OnPaint(HWND window) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return 0;
}

// Runs for a menu choice or an accelerator.
LRESULT OnCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
        case IDM_ABOUT:
            DialogBoxParamW(g_instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), window, AboutBoxProc, 0);
            return 0;
        case IDM_EXIT:
            StopBridgeForExit(window);
            DestroyWindow(window);
            return 0;
        case IDM_RECONNECT:
            g_connectCause = ConnectCause::Menu;
            Reconnect();
            return 0;
        case IDM_RECONNECT_AUTOMATICALLY:
            ToggleReconnectOption();
            return 0;
        case IDM_OPEN_LOG_FOLDER:
            OpenLogFolder();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

// Runs every tick of the cycle timer, also inside the modal loops of the About box, the menus
// and dragging, whose start hands the ticks to the pacing thread. A failed cycle stops the bridge,
// and its clock, until a reconnect. The panel follows the counts a few times a second.
void OnCycleTick(HWND window) {
    if (!CycleDue()) return;
    NotePaceCycle();
    if (RunDueCycle(window)) {
        RefreshPanelWhenDue();
    } else {
        ReportNotOk();
    }
}

// Runs for each of the three timers: the cycle's (when a window timer paces it), the automatic
// reconnect's and the log's.
LRESULT OnTimer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (wParam) {
        case CycleTimer::kId:
            OnCycleTick(window);
            break;
        case kRetryTimerId:
            OnRetryTimer();
            break;
        case kLogTimerId:
            OnLogTimer();
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Runs when the window was resized, minimised or restored: the status bar keeps to its bottom.
LRESULT OnSize(WPARAM wParam) {
    SendMessageW(g_statusBar, WM_SIZE, 0, 0);
    if (wParam == SIZE_RESTORED) FitPanelAfterRestore();
    return 0;
}

// Runs when the window moved to a monitor of another scale: it takes the place Windows suggests
// for it there, and the panel its font and the size its lines need in it.
LRESULT OnDpiChanged(HWND window, WPARAM wParam, LPARAM lParam) {
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    SetWindowPos(window, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    LayOutPanel(window, HIWORD(wParam));
    return 0;
}

// Runs when the window goes, from Exit or from closing it; ends the message loop. Closing
// leaves the clock running, and Windows would neither end its thread nor give the resolution
// back; once stopped here, no tick follows the window.
LRESULT OnDestroy(HWND window) {
    StopBridgeForExit(window);
    PostQuitMessage(0);
    return 0;
}

// Runs when Windows shuts down or the user signs out. Once this returns, Windows may end the
// process at any moment without running the exit clean-up, so the bridge stops, the log gets
// its exit line and both sides are let go here, as Exit would; the window then goes as well.
LRESULT OnEndSession(HWND window, WPARAM ending) {
    if (!ending) return 0;
    StopBridgeForExit(window);
    LogExit();
    DisconnectBothSides();
    DestroyWindow(window);
    return 0;
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate(window);
        case WM_PAINT:
            return OnPaint(window);
        case WM_COMMAND:
            return OnCommand(window, message, wParam, lParam);
        case WM_TIMER:
            return OnTimer(window, message, wParam, lParam);
        case kCycleTickMessage:
            OnCycleTick(window);
            return 0;
        case WM_ENTERIDLE:  // the About box or a message box waits for input
        case WM_ENTERMENULOOP:
        case WM_ENTERSIZEMOVE:
            g_cycleTimer.EnterModalLoop();
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_CTLCOLORSTATIC:
            return OnCtlColorStatic(reinterpret_cast<HDC>(wParam));
        case WM_SIZE:
            return OnSize(wParam);
        case WM_DPICHANGED:
            return OnDpiChanged(window, wParam, lParam);
        case WM_ENDSESSION:
            return OnEndSession(window, wParam);
        case WM_DESTROY:
            return OnDestroy(window);
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}
