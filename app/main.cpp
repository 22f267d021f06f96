// Process entry: the shell connects both sides, the main window shows the outcome, and the
// message loop drives the bridge. A second copy in the same session connects nothing and ends
// at once.
#include <windows.h>
// After windows.h, whose types it needs.
#include <commctrl.h>

#include "app/main_window.h"
#include "app/real_windows.h"
#include "app/resource_ids.h"
#include "shell/dpi.h"
#include "shell/panel_layout.h"

namespace {

constexpr DWORD kMainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // fixed size

// Runs once, before the main window exists.
void RegisterMainWindowClass(HINSTANCE instance, const wchar_t* className) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_QUORVANE));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDC_QUORVANE);
    windowClass.lpszClassName = className;
    // LoadIconW gives the large size only, which the caption and taskbar would shrink: the
    // small one is loaded at the small size, from the images drawn for it.
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_SMALL), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                   GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    RegisterClassExW(&windowClass);
}

// Runs until the quit message; its wParam is the exit code. Waits on the cycle's clock beside
// the messages, so that a tick costs no message of its own, and runs the cycle it brings. The
// messages that came meanwhile are handled after every wake, as a window timer's tick waited for
// them: a module that answers late, with the clock due again at once, never starves the window. A
// keystroke that the accelerators turn into a command goes no further.
int RunMessageLoop(HINSTANCE instance, HWND window) {
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_QUORVANE));
    MSG message{};
    for (;;) {
        CarryOut(window, ShellWaitForTickOrInput());
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
            if (TranslateAcceleratorW(window, accelerators, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

}  // namespace

// Runs once, after the exit clean-up was registered; the command line is ignored.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    wchar_t title[APP_TEXT_LENGTH];      // string 103
    wchar_t className[APP_TEXT_LENGTH];  // string 109
    LoadStringW(instance, IDS_APP_TITLE, title, APP_TEXT_LENGTH);
    LoadStringW(instance, IDS_CLASS_NAME, className, APP_TEXT_LENGTH);
    if (!ShellBegin(kRealWindows, className)) return 0;
    RegisterMainWindowClass(instance, className);

    // The status bar's class belongs to the common controls DLL, which registers it when asked
    // here; without a call into it, the DLL would not even be loaded.
    INITCOMMONCONTROLSEX commonControls{sizeof commonControls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&commonControls);

    // Sized for the system's DPI at first; the panel sizes it for its own as it is created.
    const UINT dpi = SystemDpi(kRealWindows);
    const HWND window = CreateWindowExW(
        0, className, title, kMainWindowStyle, 100, 100, ScaleForDpi(kWindowWidth, dpi),
        ScaleForDpi(kLeastWindowHeight, dpi), nullptr, nullptr, instance, nullptr);
    if (!window) return 0;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    CarryOut(window, ShellWindowShown(window));
    const int exitCode = RunMessageLoop(instance, window);
    ShellEnd();
    return exitCode;
}
