// Connecting and disconnecting both sides of the bridge.
#include "bridge/connection.h"

#include "bridge/block_seed.h"
#include "bridge/bridge.h"
#include "sdk/sdk.h"
#include "simlink/simlink.h"

LinkResult ConnectBothSides() {
    if (!LinkOpen(0, g_bridge.linkResult)) return g_bridge.linkResult;
    if (const LinkResult addon = SdkOpen(); addon != LINK_OK) return addon;
    // The module may still hold what an earlier run wrote and counters turned since: the first
    // cycle starts from those. A module that does not answer this read is not connected.
    return SeedBridgeFromModuleBlock();
}

void DisconnectBothSides() {
    SdkClose();
    SdkCloseCommandBlock();
    LinkClose();
    ResetSdkViews();
    ResetLinkState();
    ResetBridgeState();
}
