#include "shell/shell_log.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "bridge/bridge.h"
#include "bridge/mailbox_note.h"
#include "log/log_file.h"
#include "quorvane_version.h"  // written by CMake from project(VERSION)
#include "shell/cycle_timer.h"
#include "shell/shell.h"

namespace {

const char* CauseText() {
    switch (g_shell.connectCause) {
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
void TryNumber(char (&text)[32]) {
    text[0] = '\0';
    if (g_shell.connectCause == ConnectCause::Automatic) {
        std::snprintf(text, sizeof text, ", try %" PRIu32, g_shell.retry.tries);
    }
}

}  // namespace

void LogStart() {
    WindowsVersion version{};
    if (!g_shell.windows->windowsVersion(version)) version = {};
    LogEvent("Quorvane %s started on Windows %lu.%lu.%lu, process %lu.", QUORVANE_VERSION_TEXT,
             static_cast<unsigned long>(version.major), static_cast<unsigned long>(version.minor),
             static_cast<unsigned long>(version.build),
             static_cast<unsigned long>(GetCurrentProcessId()));
}

void LogOutcome() {
    // The lines without the rate or the waiting: the log says those in lines of their own.
    PanelLines lines;
    ComposePanel({g_shell.phase, g_shell.status}, lines);
    char tryNumber[32];
    TryNumber(tryNumber);
    if (g_shell.phase == BridgePhase::Running) {
        LogEvent("Connect %s%s: Status: OK | %s | %s | %s", CauseText(), tryNumber, lines.module,
                 lines.addon, lines.bridge);
        LogEvent("Bridge started. Clock: %s.", CycleClockName(g_shell.clock.clock()));
        g_shell.lastReason[0] = '\0';
    } else if (g_shell.phase == BridgePhase::Stopped) {
        LogEvent("Bridge stopped after %" PRIu64 " cycles: %s", g_bridge.cyclesRun, lines.module);
        g_shell.lastReason[0] = '\0';
    } else {
        char reason[sizeof g_shell.lastReason];
        std::snprintf(reason, sizeof reason, "%s | %s", lines.module, lines.addon);
        if (g_shell.connectCause != ConnectCause::Automatic ||
            std::strcmp(reason, g_shell.lastReason) != 0) {
            LogEvent("Connect %s%s: Status: NOT OK | %s | %s", CauseText(), tryNumber, reason,
                     lines.bridge);
            std::memcpy(g_shell.lastReason, reason, sizeof reason);
        }
    }
}

void LogFirstCycle() {
    // A code that waited is forwarded only where the add-on's command block is mapped.
    const bool forwarded = g_bridge.commandsForwarded > 0;
    if (g_bridge.mailboxAtConnect == MailboxAtConnect::CodeWaiting && !forwarded) return;
    char note[kPanelLineLength];
    if (MailboxAtConnectNote(g_bridge.mailboxAtConnect, g_bridge.codeAtConnect, note,
                             sizeof note)) {
        LogEvent("First cycle: %s.", note);
    }
}

void LogPeriod() {
    if (g_shell.phase == BridgePhase::Running && g_shell.status == LINK_OK) {
        const PaceSummary pace =
            PaceTakePeriod(g_shell.pace, g_shell.windows->performanceCounter());
        double longestAnswerMs = 0;
        const int medianAnswerMs = TakePeriodMedianAnswerMs(g_shell.answers, longestAnswerMs);
        LogEvent("Pace: %" PRIu64
                 " cycles in %.1f s, %.1f per second, longest gap %.1f ms, %" PRIu32
                 " gaps over %" PRIu32
                 " ms; the module answered in %d ms at the median, %.1f ms"
                 " at the longest.",
                 pace.cycles, pace.seconds, pace.cyclesPerSecond, pace.longestGapMs, pace.slowGaps,
                 kSlowGapMs, medianAnswerMs < 0 ? 0 : medianAnswerMs, longestAnswerMs);
    } else if (g_shell.retry.waiting) {
        LogEvent("Still waiting to reconnect: %" PRIu32 " automatic tries so far; %s",
                 g_shell.retry.tries, g_shell.lastReason);
    }
}

void LogExit() {
    if (g_shell.exitLogged) return;
    g_shell.exitLogged = true;
    const std::uint64_t commands = g_shell.commandsBefore + g_bridge.commandsForwarded;
    LogEvent("Quorvane exits after %" PRIu64 " cycles, %" PRIu64 " %s forwarded.",
             g_shell.cyclesBefore + g_bridge.cyclesRun, commands,
             commands == 1 ? "command" : "commands");
}
