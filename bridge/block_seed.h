// The bridge's start values taken from the module's block as it stands, so that connecting
// again to a module that kept its offsets neither replays old encoder counts nor leaves old
// values standing.
#pragma once

#include "bridge/bridge_block.h"
#include "simlink/link_result.h"

// One exchange that only reads the block. When it succeeds, the last-sent copies, the encoder
// slots with their last-seen counters, and the mailbox start from what it read; when it fails,
// the bridge keeps the values it had. Gives the exchange's result. An all-zero block gives the
// start values of a fresh process, but an empty mailbox that the first cycle marks empty on the
// module's side too; g_bridge.mailboxAtConnect tells what the mailbox held.
LinkResult SeedBridgeFromModuleBlock();
