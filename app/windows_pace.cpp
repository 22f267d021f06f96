// The cycle timer's system calls on Windows.
#include <windows.h>
// After windows.h, whose types it needs.
#include <timeapi.h>

#include "app/quorvane.h"

namespace {

// Both DLLs are loaded in every GUI process: looking them up never loads anything.
void* FindExport(const char* module, const char* name) {
    const HMODULE loaded = GetModuleHandleA(module);
    if (loaded == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(loaded, name));
}

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

}  // namespace

extern const PaceSystem kWindowsPace = {FindExport,  SetWindowTimer, KillWindowTimer,
                                        BeginPeriod, EndPeriod,      GetCurrentProcess()};
