#include "shell/bridge_run.h"

#include "bridge/bridge.h"
#include "bridge/connection.h"
#include "simlink/simlink.h"

LinkResult g_status;
BridgePhase g_phase;

bool StartCycles(HWND window) {
    if (g_cycleTimer.Start(window)) return true;
    g_status = STATUS_NO_CYCLE_CLOCK;
    return false;
}

bool CycleDue() {
    g_cycleTimer.TickTaken();
    return g_status == LINK_OK && g_cycleTimer.running();
}

bool RunDueCycle(HWND window) {
    g_status = RunCycle();
    if (g_status == LINK_OK) return true;
    g_phase = BridgePhase::Stopped;
    g_cycleTimer.Stop(window);
    return false;
}

void ReconnectBothSides(HWND window, bool automatic) {
    g_cycleTimer.Stop(window);
    DisconnectBothSides();
    if (automatic && !LinkModuleAnswers(kModuleProbeTimeoutMs)) {
        g_status = STATUS_MODULE_NOT_ANSWERING;
        return;
    }
    g_status = ConnectBothSides();
}

void StopBridgeForExit(HWND window) {
    g_cycleTimer.Stop(window);
}
