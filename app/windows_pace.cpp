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

// Windows before 10 1803 refuses the high-resolution flag with error 87.
HANDLE CreateTimer(DWORD flags) {
    return CreateWaitableTimerExW(nullptr, nullptr, flags, TIMER_ALL_ACCESS);
}

BOOL SetPeriodicTimer(HANDLE timer, LONG periodMs) {
    LARGE_INTEGER due{};
    due.QuadPart = -10'000LL * periodMs;  // relative, in units of 100 ns
    return SetWaitableTimer(timer, &due, periodMs, nullptr, nullptr, FALSE);
}

HANDLE CreateModalEvent() {
    return CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

BOOL WaitFor(HANDLE object) {
    return WaitForSingleObject(object, INFINITE) == WAIT_OBJECT_0;
}

// MWMO_INPUTAVAILABLE: messages already in the queue when the wait begins wake it too.
BOOL WaitForTickOrInput(HANDLE timer) {
    return MsgWaitForMultipleObjectsEx(timer != nullptr ? 1 : 0, &timer, INFINITE, QS_ALLINPUT,
                                       MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0 &&
           timer != nullptr;
}

HANDLE StartThread(DWORD(WINAPI* body)(void*), void* argument) {
    return CreateThread(nullptr, 0, body, argument, 0, nullptr);
}

BOOL CloseKernelHandle(HANDLE handle) {
    return CloseHandle(handle);
}

BOOL SetKernelEvent(HANDLE event) {
    return SetEvent(event);
}

BOOL ResetKernelEvent(HANDLE event) {
    return ResetEvent(event);
}

BOOL PostTick(HWND window) {
    return PostMessageW(window, kCycleTickMessage, 0, 0);
}

}  // namespace

extern const PaceSystem kWindowsPace = {
    .findExport = FindExport,
    .setTimer = SetWindowTimer,
    .killTimer = KillWindowTimer,
    .beginPeriod = BeginPeriod,
    .endPeriod = EndPeriod,
    .currentProcess = GetCurrentProcess(),
    .createWaitableTimer = CreateTimer,
    .setWaitableTimer = SetPeriodicTimer,
    .createEvent = CreateModalEvent,
    .setEvent = SetKernelEvent,
    .resetEvent = ResetKernelEvent,
    .waitFor = WaitFor,
    .waitForTickOrInput = WaitForTickOrInput,
    .createThread = StartThread,
    .closeHandle = CloseKernelHandle,
    .postTick = PostTick,
};
