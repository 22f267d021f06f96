// Process entry: connects both sides, shows the outcome in the main window, and runs the message
// loop whose timer drives the bridge. File > Reconnect goes through the same start again. A
// second copy in the same session connects nothing and ends at once.
#include <windows.h>
// After windows.h, whose types it needs.
#include <commctrl.h>

#include "shell/dpi.h"
#include "app/quorvane.h"
#include "bridge/connection.h"
#include "log/log_file.h"
#include "shell/single_instance.h"

HINSTANCE g_instance;
HWND g_mainWindow;
HWND g_statusBar;
CycleTimer g_cycleTimer{kWindowsPace};

namespace {

wchar_t g_title[APP_TEXT_LENGTH];      // string 103
wchar_t g_className[APP_TEXT_LENGTH];  // string 109

constexpr DWORD kMainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // fixed size

// Runs once, before the main window exists.
void RegisterMainWindowClass() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = g_instance;
    windowClass.hIcon = LoadIconW(g_instance, MAKEINTRESOURCEW(IDI_QUORVANE));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDC_QUORVANE);
    windowClass.lpszClassName = g_className;
    // LoadIconW gives the large size only, which the caption and taskbar would shrink: the
    // small one is loaded at the small size, from the images drawn for it.
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageW(g_instance, MAKEINTRESOURCEW(IDI_SMALL), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    RegisterClassExW(&windowClass);
}

// Runs until the quit message; its wParam is the exit code. Waits on the cycle's clock beside
// the messages, so that a tick costs no message of its own. The messages that came meanwhile are
// handled after every wake, as a window timer's tick waited for them: a module that answers
// late, with the clock due again at once, never starves the window. A keystroke that the
// accelerators turn into a command goes no further.
int RunMessageLoop() {
    HACCEL accelerators = LoadAcceleratorsW(g_instance, MAKEINTRESOURCEW(IDC_QUORVANE));
    MSG message{};
    for (;;) {
        if (g_cycleTimer.WaitForTickOrInput()) SendMessageW(g_mainWindow, kCycleTickMessage, 0, 0);
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
            if (TranslateAcceleratorW(g_mainWindow, accelerators, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

}  // namespace

// Runs once the window shows, and after each reconnect. With both sides reached, "Status:
// LOADING" stands for two seconds (the thread sleeps, so nothing repaints), then the bridge runs
// out of sight. A Windows that gives no clock leaves it NOT OK and the window in view. File >
// Reconnect is offered only while the status says NOT OK.
void StartBridgeOrReport() {
    g_phase = BridgePhase::NotStarted;
    if (g_status != LINK_OK) {
        ReportNotOk();
        return;
    }
    SetStatusText(L"Status: LOADING");
    RefreshPanel();
    // The status bar and the lines are child windows: painting the main window alone leaves
    // them as they were while the thread sleeps.
    RedrawWindow(g_mainWindow, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(kLoadingPauseMs);
    if (!StartCycles(g_mainWindow)) {
        ReportNotOk();
        return;
    }
    ShowWindow(g_mainWindow, SW_MINIMIZE);
    g_phase = BridgePhase::Running;
    SetStatusText(L"Status: OK");
    RestartPace();
    RefreshPanel();
    NoteOutcome();
    ScheduleRetry();
}

// Runs for File > Reconnect and each automatic try. While the bridge runs there is nothing to
// mend, and during "Status: LOADING" the thread sleeps, so a command that waited for it finds
// the bridge running.
void Reconnect() {
    if (g_status == LINK_OK) return;
    EnableMenuItem(GetMenu(g_mainWindow), IDM_RECONNECT, MF_BYCOMMAND | MF_GRAYED);
    CountBridgeRun();
    ReconnectBothSides(g_mainWindow, g_connectCause == ConnectCause::Automatic);
    StartBridgeOrReport();
}

// Runs once, after the exit clean-up was registered; the command line is ignored.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    g_instance = instance;
    LoadStringW(instance, IDS_APP_TITLE, g_title, APP_TEXT_LENGTH);
    LoadStringW(instance, IDS_CLASS_NAME, g_className, APP_TEXT_LENGTH);
    if (!ClaimSingleInstance()) {
        BringFirstCopyForward(g_className);
        return 0;
    }
    SetLogRotation(true);  // the copy that holds the mutex is the one that moves the log aside
    LogStart();
    g_cycleTimer.OptOutOfThrottling();
    g_status = ConnectBothSides();
    RegisterMainWindowClass();

    // The status bar's class belongs to the common controls DLL, which registers it when asked
    // here; without a call into it, the DLL would not even be loaded.
    INITCOMMONCONTROLSEX commonControls{sizeof commonControls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&commonControls);

    // Sized for the system's DPI at first; the panel sizes it for its own as it is created.
    const UINT dpi = SystemDpi();
    g_mainWindow =
        CreateWindowExW(0, g_className, g_title, kMainWindowStyle, 100, 100, ScaleForDpi(300, dpi),
                        ScaleForDpi(200, dpi), nullptr, nullptr, instance, nullptr);
    if (!g_mainWindow) return 0;
    ShowWindow(g_mainWindow, showCommand);
    UpdateWindow(g_mainWindow);
    LoadReconnectOption();
    SetTimer(g_mainWindow, kLogTimerId, kLogPeriodMs, nullptr);

    StartBridgeOrReport();
    const int exitCode = RunMessageLoop();
    LogExit();
    return exitCode;
}
