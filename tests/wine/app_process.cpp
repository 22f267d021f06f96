#include "tests/wine/app_process.h"

#include <cstdio>
#include <cstring>

#include "app/resource_ids.h"
#include "tests/wine/app_paths.h"

namespace {

// The first top-level window of `className` that belongs to the process.
HWND FindWindowOfProcess(const wchar_t* className, const wchar_t* title, DWORD processId) {
    for (HWND window = FindWindowExW(nullptr, nullptr, className, title); window != nullptr;
         window = FindWindowExW(nullptr, window, className, title)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) return window;
    }
    return nullptr;
}

void PressKey(WORD virtualKey, bool release) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

}  // namespace

QuorvaneProcess::~QuorvaneProcess() {
    process_.End();
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    if (hookModule_ != nullptr) FreeLibrary(hookModule_);
    if (traceMapping_ != nullptr) CloseHandle(traceMapping_);
}

bool QuorvaneProcess::Start(const std::function<void(DWORD processId)>& beforeRun) {
    // A fresh, zeroed trace for each process; the mapping lives as long as this object.
    traceMapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                       sizeof(StatusTrace), kStatusTraceMappingName);
    if (traceMapping_ == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) return false;
    hookModule_ = LoadLibraryW(kStatusHookDll);
    if (hookModule_ == nullptr) return false;
    // Through void (*)(), the one function type that converts to any other without a warning.
    const auto hookProc = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void (*)()>(GetProcAddress(hookModule_, kStatusHookProcName)));
    if (hookProc == nullptr) return false;

    const bool started =
        process_.Start(kQuorvaneExe, L"", nullptr, [&](const PROCESS_INFORMATION& process) {
            hook_ = SetWindowsHookExW(WH_CALLWNDPROC, hookProc, hookModule_, process.dwThreadId);
            if (beforeRun) beforeRun(process.dwProcessId);
        });
    return started && hook_ != nullptr;
}

bool QuorvaneProcess::WaitForWindow(DWORD timeoutMs) {
    return WaitUntil(
        [this] {
            window_ = FindWindowOfProcess(L"QUORVANE", nullptr, processId());
            if (window_ != nullptr) {
                statusBar_ = FindWindowExW(window_, nullptr, L"msctls_statusbar32", nullptr);
            }
            return statusBar_ != nullptr;
        },
        timeoutMs);
}

std::wstring QuorvaneProcess::StatusText() const {
    wchar_t text[64] = L"";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(statusBar_, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text), SMTO_BLOCK,
                             5000, &length)) {
        return L"";
    }
    return text;
}

std::wstring QuorvaneProcess::PanelLine(int id) const {
    wchar_t text[256] = L"";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(GetDlgItem(window_, id), WM_GETTEXT, 256,
                             reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000, &length)) {
        return L"";
    }
    return text;
}

bool QuorvaneProcess::BufferNameHeld(std::uint32_t open) const {
    char name[64];
    std::snprintf(name, sizeof name, "FsasmLib:IPC:%lX:%X", processId(), open);
    const HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
    if (mapping != nullptr) CloseHandle(mapping);
    return GlobalFindAtomA(name) != 0 || mapping != nullptr;
}

std::vector<TracedStatus> QuorvaneProcess::Trace() const {
    const StatusTrace trace = ReadTrace();
    std::vector<TracedStatus> texts;
    for (std::uint32_t i = 0; i < trace.count && i < kStatusTraceCapacity; ++i) {
        const StatusTraceEntry& entry = trace.entries[i];
        texts.push_back({entry.text, entry.tickMs, entry.windowMinimised != 0});
    }
    return texts;
}

bool QuorvaneProcess::WaitForTraceLength(std::size_t length, DWORD timeoutMs) const {
    return WaitUntil([&] { return Trace().size() >= length; }, timeoutMs);
}

bool QuorvaneProcess::ReconnectOffered() const {
    // The hook reads the menu while the window answers.
    wchar_t title[64];
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window_, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(title), SMTO_BLOCK, 5000,
                        &length);
    const StatusTrace trace = ReadTrace();
    return trace.reconnectMenuState != static_cast<UINT>(-1) &&
           (trace.reconnectMenuState & (MF_GRAYED | MF_DISABLED)) == 0;
}

void QuorvaneProcess::ShowPanel(const char* module, const char* addon, const char* bridge) const {
    const int ids[] = {IDC_PANEL_MODULE, IDC_PANEL_ADDON, IDC_PANEL_BRIDGE};
    const char* texts[] = {module, addon, bridge};
    for (int i = 0; i < 3; ++i) {
        if (PanelLine(ids[i]) == std::wstring(texts[i], texts[i] + std::strlen(texts[i]))) continue;
        DWORD_PTR result = 0;
        SendMessageTimeoutA(GetDlgItem(window_, ids[i]), WM_SETTEXT, 0,
                            reinterpret_cast<LPARAM>(texts[i]), SMTO_BLOCK, 5000, &result);
    }
}

PanelMeasure QuorvaneProcess::MeasurePanel(UINT movedToDpi) const {
    // The hook measures before the window's procedure gets the message, which it ignores.
    static const UINT measure = RegisterWindowMessageW(kMeasurePanelMessageName);
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window_, measure, movedToDpi, 0, SMTO_BLOCK, 5000, &result)) return {};
    return ReadTrace().panel;
}

StatusTrace QuorvaneProcess::ReadTrace() const {
    StatusTrace trace{};
    if (void* view = MapViewOfFile(traceMapping_, FILE_MAP_READ, 0, 0, sizeof trace)) {
        std::memcpy(&trace, view, sizeof trace);
        UnmapViewOfFile(view);
    }
    return trace;
}

HWND QuorvaneProcess::FindAboutBox() const {
    return FindWindowOfProcess(nullptr, L"About Quorvane", processId());
}

void QuorvaneProcess::TypeAltQuestionMark() const {
    // The keys that type "?" on the US layout Wine gives the virtual X server: Shift and "/".
    SetForegroundWindow(window_);
    PressKey(VK_MENU, false);
    PressKey(VK_SHIFT, false);
    PressKey(VK_OEM_2, false);
    PressKey(VK_OEM_2, true);
    PressKey(VK_SHIFT, true);
    PressKey(VK_MENU, true);
}

bool QuorvaneProcess::WaitForExit(DWORD timeoutMs, DWORD& exitCode) const {
    if (!process_.WaitForExit(timeoutMs)) return false;
    exitCode = process_.ExitCode();
    return true;
}

// Whether the lines of `panel` lie one below the other inside the client area, above the status
// bar, each at least as tall as its text needs in its own font.
::testing::AssertionResult PanelFits(const PanelMeasure& panel) {
    if (panel.count == 0) return ::testing::AssertionFailure() << "not measured";
    const RECT& bar = panel.statusBar;
    if (bar.top < 0 || bar.bottom > panel.client.bottom || bar.right < panel.client.right) {
        return ::testing::AssertionFailure() << "the status bar is out of the client area";
    }
    LONG top = 0;
    for (const MeasuredLine& line : panel.lines) {
        const RECT& rect = line.rect;
        const LONG height = rect.bottom - rect.top;
        if (rect.left < 0 || rect.right > panel.client.right || rect.left >= rect.right ||
            rect.top < top || rect.bottom > bar.top || height < line.textHeight) {
            return ::testing::AssertionFailure()
                   << "a line at (" << rect.left << ", " << rect.top << ")-(" << rect.right << ", "
                   << rect.bottom << ") for a text " << line.textHeight << " high, below " << top
                   << ", above the status bar at " << bar.top << ", in a client area "
                   << panel.client.right << " wide";
        }
        top = rect.bottom;
    }
    return ::testing::AssertionSuccess();
}
