// The real Windows behind the shell's table. Calls that older Windows lack are looked up in the
// system DLLs that every GUI process has loaded, so looking never loads anything; where one is
// missing, the entry says so and the shell falls back.
#include "app/real_windows.h"

#include <windows.h>

#include "app/resource_ids.h"
// After windows.h, whose types they need.
#include <objbase.h>
#include <shellapi.h>
#include <shobjidl.h>
#include <timeapi.h>

namespace {

void* FindExport(const char* module, const char* name) {
    const HMODULE loaded = GetModuleHandleA(module);
    if (loaded == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(loaded, name));
}

template <typename Call>
Call FindUser32(const char* name) {
    return reinterpret_cast<Call>(FindExport("user32.dll", name));
}

// ---- The clock ----------------------------------------------------------------------------

UINT_PTR SetWindowTimer(HWND window, UINT_PTR id, UINT periodMs) {
    return SetTimer(window, id, periodMs, nullptr);
}

BOOL KillWindowTimer(HWND window, UINT_PTR id) {
    return KillTimer(window, id);
}

UINT BeginPeriod(UINT periodMs) {
    return timeBeginPeriod(periodMs);
}
UINT EndPeriod(UINT periodMs) {
    return timeEndPeriod(periodMs);
}

// Windows before 10 1803 refuses the high-resolution flag with error 87.
HANDLE CreateTimer(DWORD flags) {
    return CreateWaitableTimerExW(nullptr, nullptr, flags, TIMER_ALL_ACCESS);
}

// Due at an absolute time (a positive due time), then every period unless it is 0.
BOOL SetDueTimer(HANDLE timer, std::int64_t dueAt, LONG periodMs) {
    LARGE_INTEGER due{};
    due.QuadPart = dueAt;
    return SetWaitableTimer(timer, &due, periodMs, nullptr, nullptr, FALSE);
}

// Windows 8 and later keep the system time to the performance counter's precision; before, it
// moves on the system tick, which a due time 10 ms after the last one does not mind.
std::int64_t SystemTime() {
    using PreciseTimeCall = void(WINAPI*)(FILETIME*);
    static const auto precise = reinterpret_cast<PreciseTimeCall>(
        FindExport("kernel32.dll", "GetSystemTimePreciseAsFileTime"));
    FILETIME now{};
    if (precise != nullptr) {
        precise(&now);
    } else {
        GetSystemTimeAsFileTime(&now);
    }
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) |
                                     now.dwLowDateTime);
}

// The input Windows 7 knows: the QS_ALLINPUT of the SDK for Windows 8 and later adds QS_TOUCH
// and QS_POINTER, which make every wait of Windows 7 fail.
constexpr DWORD kWakeOnInput = QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON | QS_RAWINPUT |
                               QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_HOTKEY | QS_SENDMESSAGE;
static_assert(kWakeOnInput == 0x04FF);  // Windows 7's QS_ALLINPUT

// MWMO_INPUTAVAILABLE: messages already in the queue when the wait begins wake it too.
ClockWake WaitForTickOrInput(HANDLE timer) {
    const DWORD woke = MsgWaitForMultipleObjectsEx(timer != nullptr ? 1 : 0, &timer, INFINITE,
                                                   kWakeOnInput, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_FAILED) return ClockWake::Failed;
    return woke == WAIT_OBJECT_0 && timer != nullptr ? ClockWake::Tick : ClockWake::Input;
}

BOOL CloseKernelHandle(HANDLE handle) {
    return CloseHandle(handle);
}

// ---- The pace's measure and the version ---------------------------------------------------

std::int64_t PerformanceCounter() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

std::int64_t PerformanceFrequency() {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

bool RealWindowsVersion(WindowsVersion& version) {
    using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto rtlGetVersion =
        reinterpret_cast<GetVersion>(FindExport("ntdll.dll", "RtlGetVersion"));
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (rtlGetVersion == nullptr || rtlGetVersion(&info) != 0) return false;
    version = {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
    return true;
}

// ---- The display scale --------------------------------------------------------------------

UINT DpiForSystem() {
    const auto call = FindUser32<UINT(WINAPI*)()>("GetDpiForSystem");
    return call != nullptr ? call() : 0;
}

UINT DpiForWindow(HWND window) {
    const auto call = FindUser32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    return call != nullptr ? call(window) : 0;
}

UINT ScreenDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 0;
}

bool MessageFontForDpi(UINT dpi, LOGFONTW& font) {
    const auto call =
        FindUser32<BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT)>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (call == nullptr || !call(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
        return false;
    }
    font = metrics.lfMessageFont;
    return true;
}

bool MessageFontOfSystem(LOGFONTW& font) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return false;
    font = metrics.lfMessageFont;
    return true;
}

bool FrameForDpi(RECT& rect, DWORD style, DWORD extendedStyle, UINT dpi) {
    const auto call =
        FindUser32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    return call != nullptr && call(&rect, style, TRUE, extendedStyle, dpi);
}

bool FrameOfSystem(RECT& rect, DWORD style, DWORD extendedStyle) {
    return AdjustWindowRectEx(&rect, style, TRUE, extendedStyle) != 0;
}

// ---- Help > Open Log Folder ---------------------------------------------------------------

bool BeginCom() {
    return SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
}

void EndCom() {
    CoUninitialize();
}

// Above 32 is success: the documented boundary between its success and error codes.
bool OpenFolder(HWND owner, const wchar_t* folder) {
    return reinterpret_cast<INT_PTR>(
               ShellExecuteW(owner, L"open", folder, nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

void Warn(HWND owner, const wchar_t* text) {
    MessageBoxW(owner, text, L"Quorvane", MB_OK | MB_ICONWARNING);
}

// ---- The second copy's calls --------------------------------------------------------------

HWND FindWindowOfClass(const wchar_t* className) {
    return FindWindowW(className, nullptr);
}

BOOL IsWindowIconic(HWND window) {
    return IsIconic(window);
}

BOOL ShowWindowLater(HWND window, int command) {
    return ShowWindowAsync(window, command);
}

BOOL BringToFront(HWND window) {
    return SetForegroundWindow(window);
}

// ---- The taskbar --------------------------------------------------------------------------

BOOL FlashTaskbarButton(HWND window, bool on) {
    FLASHWINFO flash{};
    flash.cbSize = sizeof flash;
    flash.hwnd = window;
    flash.dwFlags = on ? FLASHW_TRAY | FLASHW_TIMERNOFG : FLASHW_STOP;
    return FlashWindowEx(&flash);
}

void* CreateTaskbarList() {
    ITaskbarList3* list = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&list)))) {
        return nullptr;
    }
    if (FAILED(list->HrInit())) {
        list->Release();
        return nullptr;
    }
    return list;
}

bool MarkTaskbarButton(void* taskbarList, HWND window, bool notOk) {
    auto* list = static_cast<ITaskbarList3*>(taskbarList);
    // The system's own error sign, at the small size the overlay is drawn at.
    static const HICON mark =
        static_cast<HICON>(LoadImageW(nullptr, IDI_ERROR, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                      GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    return SUCCEEDED(notOk ? list->SetOverlayIcon(window, mark, L"Status: NOT OK")
                           : list->SetOverlayIcon(window, nullptr, nullptr));
}

void ReleaseTaskbarList(void* taskbarList) {
    static_cast<ITaskbarList3*>(taskbarList)->Release();
}

}  // namespace

extern const WindowsCalls kRealWindows = {
    .pace =
        {
            .findExport = FindExport,
            .setTimer = SetWindowTimer,
            .killTimer = KillWindowTimer,
            .beginPeriod = BeginPeriod,
            .endPeriod = EndPeriod,
            .currentProcess = GetCurrentProcess(),
            .createWaitableTimer = CreateTimer,
            .setWaitableTimer = SetDueTimer,
            .systemTime = SystemTime,
            .waitForTickOrInput = WaitForTickOrInput,
            .closeHandle = CloseKernelHandle,
        },
    .performanceCounter = PerformanceCounter,
    .performanceFrequency = PerformanceFrequency,
    .windowsVersion = RealWindowsVersion,
    .dpiForSystem = DpiForSystem,
    .dpiForWindow = DpiForWindow,
    .screenDpi = ScreenDpi,
    .messageFontForDpi = MessageFontForDpi,
    .messageFontOfSystem = MessageFontOfSystem,
    .frameForDpi = FrameForDpi,
    .frameOfSystem = FrameOfSystem,
    .beginCom = BeginCom,
    .endCom = EndCom,
    .openFolder = OpenFolder,
    .warn = Warn,
    .findWindow = FindWindowOfClass,
    .isIconic = IsWindowIconic,
    .showWindowAsync = ShowWindowLater,
    .setForegroundWindow = BringToFront,
    .flashTaskbarButton = FlashTaskbarButton,
    .createTaskbarList = CreateTaskbarList,
    .markTaskbarButton = MarkTaskbarButton,
    .releaseTaskbarList = ReleaseTaskbarList,
};
