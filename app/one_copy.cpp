// The second copy's part of the one-copy rule: it opens neither side, brings the first copy's
// window to the front and ends.
#include <windows.h>

#include "app/quorvane.h"
#include "unwatched/log_file.h"

// Runs instead of everything else when another copy holds the mutex. Nothing here waits on the
// first copy, which may be in its two seconds of LOADING or hung in an exchange: ShowWindowAsync
// posts the restore, and SetForegroundWindow sends nothing to it.
void ShowFirstCopy(const wchar_t* className) {
    HWND first = FindWindowW(className, nullptr);
    if (first != nullptr) {
        ShowWindowAsync(first, IsIconic(first) ? SW_RESTORE : SW_SHOW);
        SetForegroundWindow(first);
    }
    LogEvent("A second copy was started and turned away: Quorvane runs already%s.",
             first != nullptr ? "; its window was brought to the front" : "");
}
