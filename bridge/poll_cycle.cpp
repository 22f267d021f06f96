#include "bridge/bridge.h"
// placeholder until the cycle lands
BridgeState g_bridge;
LinkResult RunCycle() { return g_bridge.linkResult; }
void ResetBridgeStateForTest() { g_bridge = {}; }
