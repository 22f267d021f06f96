#include "tools/console/console.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/win32.h"

void Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fflush(stdout);
}

const char* ProgramName() {
    static char name[MAX_PATH];
    if (name[0] != '\0') return name;
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return "program";
    const char* base = path;
    for (const char* at = path; *at != '\0'; ++at) {
        if (*at == '\\' || *at == '/') base = at + 1;
    }
    std::snprintf(name, sizeof name, "%s", base);
    char* extension = std::strrchr(name, '.');
    if (extension != nullptr && _stricmp(extension, ".exe") == 0) *extension = '\0';
    return name;
}

namespace {

struct EndWatch {
    std::uint32_t seconds;  // 0: no deadline
    void (*requestEnd)();
    int (*release)();   // null: nothing outlives the process
    HANDLE endNow;      // set by Ctrl+C or by the end of standard input
    HANDLE mainThread;  // the thread that called WatchForEnd
};

constexpr DWORD kGraceMs = 2000;  // from the request to the forced end

EndWatch g_watch;
// Whoever sets it first gives back what the program holds: the main thread at its orderly end,
// or the watcher thread when it ends the process.
std::atomic<bool> g_endClaimed;

BOOL WINAPI OnConsoleControl(DWORD type) {
    SetEvent(g_watch.endNow);
    // For a closed console window, a logoff or a shutdown the system ends the process as soon as
    // this returns, or after a few seconds: the watcher thread ends it first.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
        Sleep(INFINITE);
    }
    return TRUE;
}

// Runs until standard input, a pipe, has no more data.
DWORD WINAPI DrainInput(LPVOID) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char chunk[256];
    DWORD got = 0;
    while (ReadFile(input, chunk, sizeof chunk, &got, nullptr) && got != 0) {
    }
    SetEvent(g_watch.endNow);
    return 0;
}

DWORD WINAPI AwaitEnd(LPVOID) {
    const DWORD wait = g_watch.seconds == 0 ? INFINITE : g_watch.seconds * 1000;
    WaitForSingleObject(g_watch.endNow, wait);
    g_watch.requestEnd();
    Sleep(kGraceMs);
    if (g_watch.release == nullptr || g_watch.mainThread == nullptr) ExitProcess(0);
    // The main thread, in its orderly end, ends the process itself soon.
    if (g_endClaimed.exchange(true)) Sleep(INFINITE);
    // Stopped and waited for, so that everything it wrote is seen here and nothing it does can
    // race with `release`. It may hold a lock of the C runtime or the heap: from here on only
    // calls into the system, and the process ends without running anyone's clean-up.
    TerminateThread(g_watch.mainThread, 1);
    WaitForSingleObject(g_watch.mainThread, INFINITE);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(g_watch.release()));
    return 0;
}

}  // namespace

void WatchForEnd(std::uint32_t seconds, void (*requestEnd)(), int (*release)()) {
    HANDLE mainThread = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &mainThread,
                    THREAD_TERMINATE | SYNCHRONIZE, FALSE, 0);
    g_watch = {seconds, requestEnd, release, CreateEventA(nullptr, TRUE, FALSE, nullptr),
               mainThread};
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input != nullptr && input != INVALID_HANDLE_VALUE && GetFileType(input) == FILE_TYPE_PIPE) {
        CloseHandle(CreateThread(nullptr, 0, DrainInput, nullptr, 0, nullptr));
    }
    CloseHandle(CreateThread(nullptr, 0, AwaitEnd, nullptr, 0, nullptr));
}

void EnterOrderlyEnd() {
    if (g_endClaimed.exchange(true)) Sleep(INFINITE);
}
