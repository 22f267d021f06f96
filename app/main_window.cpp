#include "app/main_window.h"

// After windows.h, whose types they need.
#include <commctrl.h>
#include <windowsx.h>

#include "app/about_box.h"
#include "app/panel_view.h"
#include "app/resource_ids.h"

static_assert(SB_SETTEXTW == 1035);

namespace {

HWND g_statusBar;  // the window's status bar, the program's first report

// File > Reconnect is offered only while the status says NOT OK.
void OfferReconnect(HWND window, Toggle offered) {
    if (offered == Toggle::Keep) return;
    EnableMenuItem(GetMenu(window), IDM_RECONNECT,
                   MF_BYCOMMAND | (offered == Toggle::On ? MF_ENABLED : MF_GRAYED));
}

void CheckOption(HWND window, Toggle checked) {
    if (checked == Toggle::Keep) return;
    CheckMenuItem(GetMenu(window), IDM_RECONNECT_AUTOMATICALLY,
                  MF_BYCOMMAND | (checked == Toggle::On ? MF_CHECKED : MF_UNCHECKED));
}

void ChangeTimer(HWND window, UINT_PTR id, TimerChange change, UINT periodMs) {
    if (change == TimerChange::Set) SetTimer(window, id, periodMs, nullptr);
    if (change == TimerChange::Kill) KillTimer(window, id);
}

// Runs inside CreateWindowExW, before the window shows. The panel fills what the status bar
// leaves of the client area.
BOOL OnCreate(HWND window, LPCREATESTRUCT create) {
    g_statusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0,
                                  0, 0, window, nullptr, create->hInstance, nullptr);
    CreatePanel(window, g_statusBar);
    return TRUE;
}

// Runs whenever the window needs painting; the status bar and the lines draw themselves.
void OnPaint(HWND window) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
}

// Runs for a menu choice or an accelerator.
void OnCommand(HWND window, int id, HWND control, UINT code) {
    switch (id) {
        case IDM_ABOUT:
            DialogBoxParamW(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)),
                            MAKEINTRESOURCEW(IDD_ABOUTBOX), window, AboutBoxProc, 0);
            break;
        case IDM_EXIT:
            CarryOut(window, ShellExit());
            break;
        case IDM_RECONNECT:
            CarryOut(window, ShellReconnect());
            break;
        case IDM_RECONNECT_AUTOMATICALLY:
            CarryOut(window, ShellToggleOption());
            break;
        case IDM_OPEN_LOG_FOLDER:
            ShellOpenLogFolder();
            break;
        default:
            FORWARD_WM_COMMAND(window, id, control, code, DefWindowProcW);
            break;
    }
}

// Runs every tick of a window timer: where it is the clock, and in the modal loops (the About
// box, a menu, a move of the window), which hold the window thread away from the message loop.
void OnCycleTick(HWND window) {
    CarryOut(window, ShellTick());
}

// Runs for each of the three timers: the cycle's (when a window timer paces it), the automatic
// reconnect's and the log's.
void OnTimer(HWND window, UINT id) {
    switch (id) {
        case CycleTimer::kId:
            OnCycleTick(window);
            break;
        case kRetryTimerId:
            CarryOut(window, ShellRetryTimer());
            break;
        case kLogTimerId:
            CarryOut(window, ShellLogTimer());
            break;
        default:
            break;
    }
}

// Runs when a modal loop takes the window thread away from the message loop: the About box or a
// message box waiting for input, a menu, or a move or size by the frame.
void OnEnterModalLoop() {
    ShellEnterModalLoop();
}

// Runs when the window was resized, minimised or restored: the status bar keeps to its bottom.
void OnSize(HWND, UINT state, int, int) {
    SendMessageW(g_statusBar, WM_SIZE, 0, 0);
    if (state == SIZE_MINIMIZED) ShellWindowSized(true);
    if (state == SIZE_RESTORED) {
        ShellWindowSized(false);
        FitPanelAfterRestore();
    }
}

// Runs when Windows made the taskbar button, and again whenever Explorer starts anew.
void OnTaskbarButtonCreated() {
    ShellTaskbarButtonCreated();
}

// Runs before the window moves to a monitor of another scale: the size its panel needs there,
// so that a window dragged across the border does not jump or flip between two sizes.
BOOL OnGetDpiScaledSize(UINT dpi, SIZE& size) {
    return PanelSizeAtDpi(dpi, size) ? TRUE : FALSE;
}

// Runs when the window moved to a monitor of another scale: it takes the place Windows suggests
// for it there, and the panel its font and the size its lines need in it.
void OnDpiChanged(HWND window, UINT dpi, const RECT& suggested) {
    SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    LayOutPanel(dpi);
}

// Runs when the window goes, from Exit or from closing it; ends the message loop. Closing
// leaves the clock running, and Windows would neither end its thread nor give the resolution
// back; once stopped here, no tick follows the window.
void OnDestroy(HWND) {
    ShellWindowGone();
    PostQuitMessage(0);
}

// Runs when Windows' session ends, or when a shutdown was cancelled by another program.
void OnEndSession(HWND window, BOOL ending) {
    CarryOut(window, ShellSessionEnds(ending != FALSE));
}

HBRUSH OnCtlColor(HWND, HDC deviceContext, HWND, int) {
    return reinterpret_cast<HBRUSH>(OnCtlColorStatic(deviceContext));
}

}  // namespace

void CarryOut(HWND window, ShellActions actions) {
    for (;;) {
        // Minimised before "Status: OK" shows: the bridge runs out of sight.
        if (actions.minimise) ShowWindow(window, SW_MINIMIZE);
        if (actions.status != nullptr) {
            // Part 0, no drawing flags.
            SendMessageW(g_statusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(actions.status));
        }
        OfferReconnect(window, actions.reconnectOffered);
        CheckOption(window, actions.optionChecked);
        if (actions.panelChanged) ShowPanel(g_shell.panel);
        ChangeTimer(window, kRetryTimerId, actions.retryTimer, kRetryDelayMs);
        ChangeTimer(window, kLogTimerId, actions.logTimer, kLogPeriodMs);
        if (actions.destroyWindow) DestroyWindow(window);
        if (actions.then == ThenStep::None) return;
        // The status bar and the lines are child windows: painting the main window alone
        // leaves them as they were while the thread waits.
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        if (actions.then == ThenStep::ConnectNow) {
            actions = ShellConnect();
        } else {
            Sleep(kLoadingPauseMs);
            actions = ShellLoadingEnded();
        }
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(window, WM_CREATE, OnCreate);
        HANDLE_MSG(window, WM_PAINT, OnPaint);
        HANDLE_MSG(window, WM_COMMAND, OnCommand);
        HANDLE_MSG(window, WM_SIZE, OnSize);
        HANDLE_MSG(window, WM_ENDSESSION, OnEndSession);
        HANDLE_MSG(window, WM_DESTROY, OnDestroy);
        HANDLE_MSG(window, WM_CTLCOLORSTATIC, OnCtlColor);
        case WM_TIMER:  // and then default processing, whatever the timer
            OnTimer(window, static_cast<UINT>(wParam));
            break;
        case WM_ENTERIDLE:
        case WM_ENTERMENULOOP:
        case WM_ENTERSIZEMOVE:
            OnEnterModalLoop();
            break;
        case WM_GETDPISCALEDSIZE:
            return OnGetDpiScaledSize(static_cast<UINT>(wParam), *reinterpret_cast<SIZE*>(lParam));
        case WM_DPICHANGED:
            OnDpiChanged(window, HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        default:
            static const UINT taskbarButtonCreated =
                RegisterWindowMessageW(L"TaskbarButtonCreated");
            if (message == taskbarButtonCreated) OnTaskbarButtonCreated();
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
