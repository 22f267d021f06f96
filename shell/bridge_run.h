// The bridge's run as the shell drives it: its clock started once both sides are connected, one
// cycle per tick, and every way the cycles end. The status, the phase and the clock are the
// shell's (g_shell).
#pragma once

#include "platform/win32.h"

// Starts the clock on `window`. When Windows gives none, the status says so: false.
bool StartCycles(HWND window);
// Runs for every tick: whether a cycle is due (the bridge runs).
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
