// File > Reconnect automatically: the option, kept per user, and the retry timer that makes a
// try 5 s after the last one ended while the status says NOT OK. Each try is File > Reconnect.
#include <windows.h>

#include "app/quorvane.h"
#include "log/log_file.h"
#include "shell/settings.h"

RetrySchedule g_retry;

namespace {

ClockTime LocalClock() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wHour, now.wMinute, now.wSecond};
}

void ShowOptionChecked() {
    CheckMenuItem(GetMenu(g_mainWindow), IDM_RECONNECT_AUTOMATICALLY,
                  MF_BYCOMMAND | (g_retry.enabled ? MF_CHECKED : MF_UNCHECKED));
}

void SetRetryTimer(bool waiting) {
    if (waiting) {
        SetTimer(g_mainWindow, kRetryTimerId, kRetryDelayMs, nullptr);
    } else {
        KillTimer(g_mainWindow, kRetryTimerId);
    }
}

}  // namespace

void LoadReconnectOption() {
    g_retry.enabled = ReadReconnectAutomatically();
    ShowOptionChecked();
}

void ToggleReconnectOption() {
    const bool on = !g_retry.enabled;
    const bool kept = WriteReconnectAutomatically(on);
    SetRetryTimer(RetrySetEnabled(g_retry, on, g_status != LINK_OK, LocalClock()));
    ShowOptionChecked();
    LogEvent("Option \"Reconnect automatically\" turned %s%s.", on ? "on" : "off",
             kept ? "" : ", for this run only: the registry did not keep it");
    RefreshPanel();
}

void ScheduleRetry() {
    SetRetryTimer(RetryAfterOutcome(g_retry, g_status != LINK_OK, LocalClock()));
}

void OnRetryTimer() {
    KillTimer(g_mainWindow, kRetryTimerId);
    if (!RetryBegin(g_retry)) return;
    g_connectCause = ConnectCause::Automatic;
    Reconnect();
}
