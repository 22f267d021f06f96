// The three lines above the status bar: what became of each side and of the bridge, in the
// user's words, with what to do about it. Plain text from the subsystems' own state, so that
// every sentence can be read in a native test; the window only shows the lines.
#pragma once

#include <cstddef>

#include "platform/win32.h"
#include "shell/retry_schedule.h"
#include "shell/shell_outcome.h"

// What the shell knows beyond the subsystems: the phase, and the program status, which is the
// outcome of connecting while not started and the failed cycle's result once stopped.
struct PanelFacts {
    BridgePhase phase;
    LinkResult status;
    double cyclesPerSecond = -1;           // while running; negative until measured
    const RetrySchedule* retry = nullptr;  // the automatic reconnect, when there is one
    int answerMs = -1;  // while running, how long the module takes to answer, when that is slow
};

constexpr std::size_t kPanelLineLength = 256;

struct PanelLines {
    char module[kPanelLineLength];  // "Simulator module: ..."
    char addon[kPanelLineLength];   // "Add-on: ..."
    char bridge[kPanelLineLength];  // "Bridge: ..."
};

// The lines for these facts and for the link, the add-on's views and the bridge's counters as
// they are now.
void ComposePanel(const PanelFacts& facts, PanelLines& lines);

// One sentence for the user on why the link failed and what to do. `lastSendError` is the
// system's error after the sends of the failed exchange; it tells a refusal of rights apart.
const char* LinkFailureReason(LinkResult code, DWORD lastSendError);
