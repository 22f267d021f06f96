// What Quorvane writes to its log while nobody watches: the start, each connect's outcome, the
// bridge starting and stopping, and every 10 minutes the pace of the cycles; and the pace the
// panel shows. The cycle itself only reads the performance counter and counts.
#include <windows.h>
// After windows.h, whose types it needs.
#include <objbase.h>
#include <shellapi.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "app/quorvane.h"
#include "bridge/bridge.h"
#include "log/log_file.h"
#include "quorvane_version.h"  // written by CMake from project(VERSION)
#include "shell/pace.h"

ConnectCause g_connectCause;

namespace {

PaceCounters g_pace;
RateMeter g_rate;
std::uint64_t g_cyclesBefore;    // cycles of the bridges that ran before the current one
std::uint64_t g_commandsBefore;  // and the commands they forwarded
char g_lastReason[2 * kPanelLineLength + 4];  // the module and add-on lines last logged

std::int64_t PerformanceCounter() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// Windows' own version: GetVersionEx reports what the manifest claims to know.
void WindowsVersion(DWORD& major, DWORD& minor, DWORD& build) {
    major = minor = build = 0;
    using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return;
    const auto rtlGetVersion = reinterpret_cast<GetVersion>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (rtlGetVersion == nullptr || rtlGetVersion(&info) != 0) return;
    major = info.dwMajorVersion;
    minor = info.dwMinorVersion;
    build = info.dwBuildNumber;
}

const char* CauseText() {
    switch (g_connectCause) {
        case ConnectCause::Start:
            return "at start";
        case ConnectCause::Menu:
            return "by File > Reconnect";
        case ConnectCause::Automatic:
            return "automatically";
    }
    return "";
}

// ", try 3" for an automatic try, counted when it began; else nothing.
const char* TryNumber() {
    static char text[32];
    text[0] = '\0';
    if (g_connectCause == ConnectCause::Automatic) {
        std::snprintf(text, sizeof text, ", try %" PRIu32, g_retry.tries);
    }
    return text;
}

}  // namespace

void LogStart() {
    DWORD major = 0, minor = 0, build = 0;
    WindowsVersion(major, minor, build);
    LogEvent("Quorvane %s started on Windows %lu.%lu.%lu, process %lu.", QUORVANE_VERSION_TEXT,
             major, minor, build, GetCurrentProcessId());
}

void NoteOutcome() {
    PanelLines lines;
    ComposePanel({g_phase, g_status}, lines);
    if (g_phase == BridgePhase::Running) {
        LogEvent("Connect %s%s: Status: OK | %s | %s | %s", CauseText(), TryNumber(), lines.module,
                 lines.addon, lines.bridge);
        LogEvent("Bridge started. Clock: %s.", CycleClockName(g_cycleTimer.clock()));
        g_lastReason[0] = '\0';
    } else if (g_phase == BridgePhase::Stopped) {
        LogEvent("Bridge stopped after %" PRIu64 " cycles: %s", g_bridge.cyclesRun, lines.module);
        g_lastReason[0] = '\0';
    } else {
        char reason[sizeof g_lastReason];
        std::snprintf(reason, sizeof reason, "%s | %s", lines.module, lines.addon);
        // Failed automatic tries repeat every few seconds: only a new reason is news.
        if (g_connectCause != ConnectCause::Automatic || std::strcmp(reason, g_lastReason) != 0) {
            LogEvent("Connect %s%s: Status: NOT OK | %s | %s", CauseText(), TryNumber(), reason,
                     lines.bridge);
            std::memcpy(g_lastReason, reason, sizeof reason);
        }
    }
}

void CountBridgeRun() {
    g_cyclesBefore += g_bridge.cyclesRun;
    g_commandsBefore += g_bridge.commandsForwarded;
}

void RestartPace() {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    g_pace.ticksPerSecond = frequency.QuadPart;
    PaceStartPeriod(g_pace, PerformanceCounter(), false);
    g_rate = {};
}

void NotePaceCycle() {
    PaceNoteCycle(g_pace, PerformanceCounter());
}

double CyclesPerSecond() {
    RateMeterSample(g_rate, g_bridge.cyclesRun, PerformanceCounter(), g_pace.ticksPerSecond);
    return g_rate.perSecond;
}

void OnLogTimer() {
    if (g_phase == BridgePhase::Running && g_status == LINK_OK) {
        const PaceSummary pace = PaceTakePeriod(g_pace, PerformanceCounter());
        LogEvent("Pace: %" PRIu64
                 " cycles in %.1f s, %.1f per second, longest gap %.1f ms, %" PRIu32
                 " gaps over %" PRIu32 " ms.",
                 pace.cycles, pace.seconds, pace.cyclesPerSecond, pace.longestGapMs, pace.slowGaps,
                 kSlowGapMs);
    } else if (g_retry.waiting) {
        LogEvent("Still waiting to reconnect: %" PRIu32 " automatic tries so far; %s",
                 g_retry.tries, g_lastReason);
    }
}

void LogExit() {
    // Once: a session's end logs it before the message loop ends, and the loop's end again.
    static bool logged = false;
    if (logged) return;
    logged = true;
    const std::uint64_t commands = g_commandsBefore + g_bridge.commandsForwarded;
    LogEvent("Quorvane exits after %" PRIu64 " cycles, %" PRIu64 " %s forwarded.",
             g_cyclesBefore + g_bridge.cyclesRun, commands, commands == 1 ? "command" : "commands");
}

void OpenLogFolder() {
    wchar_t folder[kLogPathLength];
    if (LogFolderPath(folder)) {
        CreateDirectoryW(folder, nullptr);
        // The shell may hand the folder to extensions that need COM on this thread, in a
        // single-threaded apartment. A thread that has COM already keeps it as it is.
        const HRESULT com =
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        const auto opened = reinterpret_cast<INT_PTR>(
            ShellExecuteW(g_mainWindow, L"open", folder, nullptr, nullptr, SW_SHOWNORMAL));
        if (SUCCEEDED(com)) CoUninitialize();
        if (opened > 32) return;  // the documented boundary between success and error codes
    }
    MessageBoxW(g_mainWindow, L"The log folder (%LOCALAPPDATA%\\Quorvane) could not be opened.",
                L"Quorvane", MB_OK | MB_ICONWARNING);
}
