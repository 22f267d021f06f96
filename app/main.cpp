// Process entry: connects both sides once, shows the outcome in the main window, and runs the
// message loop whose timer drives the bridge.
#include <windows.h>
// After windows.h, whose types it needs.
#include <commctrl.h>

#include "app/quorvane.h"
#include "bridge/bridge.h"
#include "sdk/sdk.h"
#include "simlink/simlink.h"

HINSTANCE g_instance;
HWND g_mainWindow;
HWND g_statusBar;
LinkResult g_status;

namespace {

wchar_t g_title[APP_TEXT_LENGTH];      // string 103
wchar_t g_className[APP_TEXT_LENGTH];  // string 109

constexpr DWORD kMainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // fixed size

// Runs first: the simulator link, and only once it is open, the add-on's views.
LinkResult ConnectBothSides() {
    if (!LinkOpen(0, g_bridge.linkResult)) return g_bridge.linkResult;
    return SdkOpen();
}

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
    windowClass.hIconSm = LoadIconW(g_instance, MAKEINTRESOURCEW(IDI_SMALL));
    RegisterClassExW(&windowClass);
}

// Runs once the window shows. With both sides reached, "Status: LOADING" stands for two
// seconds (the thread sleeps, so nothing repaints), then the bridge runs out of sight.
void StartBridgeOrReport() {
    if (g_status != LINK_OK) {
        SetStatusText(L"Status: NOT OK");
        return;
    }
    SetStatusText(L"Status: LOADING");
    Sleep(kLoadingPauseMs);
    ShowWindow(g_mainWindow, SW_MINIMIZE);
    SetStatusText(L"Status: OK");
    SetTimer(g_mainWindow, kCycleTimerId, kCyclePeriodMs, nullptr);
}

// Runs until the quit message; its wParam is the exit code. A keystroke that the accelerators
// turn into a command goes no further.
int RunMessageLoop() {
    HACCEL accelerators = LoadAcceleratorsW(g_instance, MAKEINTRESOURCEW(IDC_QUORVANE));
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorW(g_mainWindow, accelerators, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

// Runs once, after the exit clean-up was registered; the command line is ignored.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    g_instance = instance;
    g_status = ConnectBothSides();

    LoadStringW(instance, IDS_APP_TITLE, g_title, APP_TEXT_LENGTH);
    LoadStringW(instance, IDS_CLASS_NAME, g_className, APP_TEXT_LENGTH);
    RegisterMainWindowClass();

    // The status bar's class belongs to the common controls DLL, which registers it when asked
    // here; without a call into it, the DLL would not even be loaded.
    INITCOMMONCONTROLSEX commonControls{sizeof commonControls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&commonControls);

    g_mainWindow = CreateWindowExW(0, g_className, g_title, kMainWindowStyle, 100, 100, 300, 200,
                                   nullptr, nullptr, instance, nullptr);
    if (!g_mainWindow) return 0;
    ShowWindow(g_mainWindow, showCommand);
    UpdateWindow(g_mainWindow);

    StartBridgeOrReport();
    return RunMessageLoop();
}
