// The panel's three lines from the state of the link, the add-on's views and the bridge.
#include <cinttypes>
#include <cstdio>

#include "bridge/bridge.h"
#include "panel/panel.h"
#include "sdk/sdk.h"
#include "simlink/simlink.h"

namespace {

// The link's code, if connecting failed on the link's side; 0 when it did not (also when the
// add-on was then not found, or both sides were reached and no clock could pace them).
LinkResult ConnectFailure(const PanelFacts& facts) {
    if (facts.phase == BridgePhase::NotStarted && facts.status != STATUS_SDK_UNAVAILABLE &&
        facts.status != STATUS_NO_CYCLE_CLOCK) {
        return facts.status;
    }
    return LINK_OK;
}

// The link's code, if connecting stopped at opening the link, before the add-on was looked for.
// A failed read of the block after both sides opened leaves the add-on's views mapped.
LinkResult LinkOutcome(const PanelFacts& facts) {
    return SdkStateView() == nullptr ? ConnectFailure(facts) : LINK_OK;
}

// The link's code, if the module was reached and then failed: in a cycle, or in the read of the
// block that follows connecting.
LinkResult LostOutcome(const PanelFacts& facts) {
    if (facts.phase == BridgePhase::Stopped) return facts.status;
    return SdkStateView() != nullptr ? ConnectFailure(facts) : LINK_OK;
}

const char* LastFailureReason(LinkResult code) {
    return LinkFailureReason(code, g_link.lastSendError);
}

void ComposeModuleLine(const PanelFacts& facts, char (&line)[kPanelLineLength]) {
    if (facts.phase == BridgePhase::Connecting) {
        std::snprintf(line, sizeof line, "Simulator module: connecting.");
    } else if (LinkOutcome(facts) == STATUS_MODULE_NOT_ANSWERING) {
        std::snprintf(line, sizeof line,
                      "Simulator module: not answering; it may be loading or frozen.");
    } else if (const LinkResult failed = LinkOutcome(facts); failed != LINK_OK) {
        std::snprintf(line, sizeof line, "Simulator module: not connected. %s",
                      LastFailureReason(failed));
    } else if (const LinkResult lost = LostOutcome(facts); lost != LINK_OK) {
        std::snprintf(line, sizeof line, "Simulator module: lost. %s", LastFailureReason(lost));
    } else {
        std::snprintf(line, sizeof line,
                      "Simulator module: connected, module version 0x%08" PRIX32
                      ", simulator id %" PRIu32 ".",
                      g_link.moduleVersion, g_link.simulatorId);
    }
}

void ComposeAddonLine(const PanelFacts& facts, char (&line)[kPanelLineLength]) {
    const char* text = "Add-on: connected.";
    if (facts.phase == BridgePhase::Connecting || LinkOutcome(facts) != LINK_OK) {
        text = "Add-on: not looked for until the module is reached.";
    } else if (facts.phase == BridgePhase::NotStarted && facts.status == STATUS_SDK_UNAVAILABLE) {
        text =
            "Add-on: not found. Load the aircraft in the simulator, then choose File > "
            "Reconnect.";
    } else if (!SdkCommandViewMapped()) {
        text = "Add-on: connected without its command block: values go out, commands do not.";
    }
    std::snprintf(line, sizeof line, "%s", text);
}

// ", 100 per second" once the pace is known, and how long the module takes to answer where that
// bounds the pace: ", 39 per second (the simulator module answers in 25 ms)". Else nothing.
void ComposeRate(const PanelFacts& facts, char (&rate)[80]) {
    rate[0] = '\0';
    if (facts.cyclesPerSecond < 0) return;
    if (facts.answerMs >= 0) {
        std::snprintf(rate, sizeof rate,
                      ", %.0f per second (the simulator module answers in %d ms)",
                      facts.cyclesPerSecond, facts.answerMs);
    } else {
        std::snprintf(rate, sizeof rate, ", %.0f per second", facts.cyclesPerSecond);
    }
}

void ComposeBridgeLine(const PanelFacts& facts, char (&line)[kPanelLineLength]) {
    // A connect under way says so, also when File > Reconnect came while an automatic try waited.
    if (const RetrySchedule* retry = facts.retry;
        retry != nullptr && retry->waiting && facts.phase != BridgePhase::Connecting) {
        std::snprintf(line, sizeof line,
                      "Bridge: waiting; the next automatic try is at %02u:%02u:%02u, %" PRIu32
                      " %s so far.",
                      retry->nextTry.hour, retry->nextTry.minute, retry->nextTry.second,
                      retry->tries, retry->tries == 1 ? "try" : "tries");
        return;
    }
    char rate[80];
    ComposeRate(facts, rate);
    switch (facts.phase) {
        case BridgePhase::Connecting:
            std::snprintf(line, sizeof line,
                          "Bridge: connecting; the window waits until both sides answer.");
            return;
        case BridgePhase::NotStarted:
            std::snprintf(line, sizeof line, "%s",
                          facts.status == LINK_OK
                              ? "Bridge: not started yet; it starts in 2 seconds."
                          : facts.status == STATUS_NO_CYCLE_CLOCK
                              ? "Bridge: not started; Windows gave no timer to pace it. Choose "
                                "File > Reconnect."
                              : "Bridge: not started; both sides must be connected first.");
            return;
        case BridgePhase::Stopped:
            std::snprintf(line, sizeof line,
                          "Bridge: stopped after %" PRIu64 " cycles, when the module was lost.",
                          g_bridge.cyclesRun);
            return;
        case BridgePhase::Running:
            if (g_bridge.commandsForwarded == 0) {
                std::snprintf(line, sizeof line,
                              "Bridge: running, %" PRIu64 " cycles%s, no command forwarded yet.",
                              g_bridge.cyclesRun, rate);
            } else {
                std::snprintf(line, sizeof line,
                              "Bridge: running, %" PRIu64 " cycles%s, %" PRIu64
                              " %s forwarded, the last %" PRId32 " with %g.",
                              g_bridge.cyclesRun, rate, g_bridge.commandsForwarded,
                              g_bridge.commandsForwarded == 1 ? "command" : "commands",
                              g_bridge.lastCommandCode, g_bridge.lastCommandParameter);
            }
            return;
    }
}

}  // namespace

void ComposePanel(const PanelFacts& facts, PanelLines& lines) {
    ComposeModuleLine(facts, lines.module);
    ComposeAddonLine(facts, lines.addon);
    ComposeBridgeLine(facts, lines.bridge);
}
