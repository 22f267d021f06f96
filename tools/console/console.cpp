#include "tools/console/console.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win32.h"

void Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fflush(stdout);
}

namespace {

// Base 16 after "0x", else base 10: a leading zero does not make a number octal.
int BaseOf(const char* digits) {
    return digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X') ? 16 : 10;
}

}  // namespace

bool ParseUnsigned(const char* text, std::uint32_t& value) {
    if (*text == '-' || *text == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text, &end, BaseOf(text));
    if (errno != 0 || *end != '\0' || parsed > UINT32_MAX) return false;
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

bool ParseSigned(const char* text, std::int32_t& value) {
    if (*text == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text, &end, BaseOf(*text == '-' ? text + 1 : text));
    if (errno != 0 || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) return false;
    value = static_cast<std::int32_t>(parsed);
    return true;
}

bool ParseReal(const char* text, double& value) {
    if (*text == '\0') return false;
    char* end = nullptr;
    value = std::strtod(text, &end);
    return *end == '\0';
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

bool IsOption(const char* argument, const char* name) {
    return std::strcmp(argument, name) == 0;
}

bool TakeText(int argc, char** argv, int& i, const char*& value) {
    if (i + 1 >= argc) return false;
    value = argv[++i];
    return true;
}

bool TakeUnsigned(int argc, char** argv, int& i, std::uint32_t& value) {
    const char* text = nullptr;
    return TakeText(argc, argv, i, text) && ParseUnsigned(text, value);
}

bool TakeSigned(int argc, char** argv, int& i, std::int32_t& value) {
    const char* text = nullptr;
    return TakeText(argc, argv, i, text) && ParseSigned(text, value);
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
