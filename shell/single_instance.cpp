#include "shell/single_instance.h"

#include <cstdio>

#include "log/log_file.h"

namespace {

constexpr wchar_t kMutexName[] = L"Local\\Quorvane";

}  // namespace

bool ClaimSingleInstance() {
    // Held until the process ends: the handle is never closed.
    const HANDLE mutex = CreateMutexW(nullptr, 0, kMutexName);
    const DWORD error = GetLastError();
    if (mutex == nullptr) {
        // Access denied: a copy with other rights (one run as administrator) made it. Any
        // other failure tells nothing about a first copy; running beats refusing to run.
        return error != ERROR_ACCESS_DENIED;
    }
    if (error != ERROR_ALREADY_EXISTS) return true;
    CloseHandle(mutex);
    return false;
}

void BringFirstCopyForward(const WindowsCalls& windows, const wchar_t* className) {
    constexpr char kTurnedAway[] =
        "A second copy was started and turned away: Quorvane runs already";
    const HWND first = windows.findWindow(className);
    if (first == nullptr) {
        LogEvent("%s, but its window was not found.", kTurnedAway);
        return;
    }
    const bool iconic = windows.isIconic(first) != 0;
    const bool shown = windows.showWindowAsync(first, iconic ? SW_RESTORE : SW_SHOW) != 0;
    const DWORD showError = shown ? 0 : GetLastError();
    // Windows refuses the front to a process the user is not working with (the foreground
    // lock) and flashes the window's taskbar button instead.
    const bool front = windows.setForegroundWindow(first) != 0;
    const char* request = iconic ? "restoring" : "showing";
    char showing[64];
    if (shown) {
        std::snprintf(showing, sizeof showing, "%s it was posted", request);
    } else {
        std::snprintf(showing, sizeof showing, "%s it was refused (error %lu)", request,
                      static_cast<unsigned long>(showError));
    }
    LogEvent("%s; its window was found, %s, and %s.", kTurnedAway, showing,
             front ? "it came to the front" : "Windows kept another window in front");
}
