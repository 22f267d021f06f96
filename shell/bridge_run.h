// The bridge's run as the window drives it: its clock started once both sides are connected, one
// cycle per tick, and every way the cycles end. Portable, so that a native test drives these very
// paths against a stand-in Windows; the window procedure only routes to them.
#pragma once

#include "shell/cycle_timer.h"
#include "panel/panel.h"
#include "simlink/link_result.h"

// How long an automatic try waits for the module's window to answer before it gives up.
constexpr UINT kModuleProbeTimeoutMs = 250;

extern LinkResult g_status;  // 0 while the bridge runs; a failure ends it until a reconnect
extern BridgePhase g_phase;  // where the bridge stands, for the panel
// Paces the cycles while the bridge runs. Started only by StartCycles; stopped on every path
// below.
extern CycleTimer g_cycleTimer;

// Starts the clock on `window`. When Windows gives none, the status says so: false.
bool StartCycles(HWND window);
// Runs for every tick: takes it, and says whether a cycle is due (the bridge runs).
bool CycleDue();
// One cycle. A failed one stops the bridge and its clock until a reconnect: false.
bool RunDueCycle(HWND window);
// File > Reconnect and the automatic tries: the clock stopped, both sides released and connected
// again. The handshake may hold the window thread for nine sends of 2 s, so an automatic try,
// which nobody is waiting for, first asks whether the module's window answers at all; one that
// does not is a failed try of its own.
void ReconnectBothSides(HWND window, bool automatic);
// File > Exit, the end of the Windows session and the window's end: the clock stops for good.
void StopBridgeForExit(HWND window);
