#include "shell/bridge_run.h"

#include "bridge/bridge.h"
#include "bridge/connection.h"
#include "shell/shell.h"
#include "simlink/simlink.h"

bool StartCycles(HWND window) {
    if (g_shell.clock.Start(window)) return true;
    g_shell.status = STATUS_NO_CYCLE_CLOCK;
    return false;
}

bool CycleDue() {
    return g_shell.status == LINK_OK && g_shell.clock.running();
}

bool RunDueCycle(HWND window) {
    g_shell.status = RunCycle();
    if (g_shell.status == LINK_OK) return true;
    g_shell.phase = BridgePhase::Stopped;
    g_shell.clock.Stop(window);
    return false;
}

void ReconnectBothSides(HWND window, bool automatic) {
    g_shell.clock.Stop(window);
    DisconnectBothSides();
    if (automatic && !LinkModuleAnswers(kModuleProbeTimeoutMs)) {
        g_shell.status = STATUS_MODULE_NOT_ANSWERING;
        return;
    }
    g_shell.status = ConnectBothSides();
}

void StopBridgeForExit(HWND window) {
    g_shell.clock.Stop(window);
}
