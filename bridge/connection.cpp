// Connecting and disconnecting both sides of the bridge.
#include "bridge/connection.h"

#include "bridge/bridge.h"
#include "sdk/sdk.h"
#include "simlink/simlink.h"

LinkResult ConnectBothSides() {
    if (!LinkOpen(0, g_bridge.linkResult)) return g_bridge.linkResult;
    return SdkOpen();
}

void DisconnectBothSides() {
    SdkClose();
    SdkCloseCommandBlock();
    LinkClose();
    ResetSdkViews();
    ResetLinkState();
    ResetBridgeState();
}
