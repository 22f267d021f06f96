// One poll cycle: snapshot the add-on's state, export what changed together with the reads of
// the input block in one exchange, then serve the inputs that exchange brought.
#include <cstring>

#include "bridge/bridge.h"
#include "bridge/encoder_table.h"
#include "sdk/sdk.h"
#include "simlink/simlink.h"

BridgeState g_bridge;

namespace {

// Queued after every write of the cycle, so the exchange carries the exports first. A mailbox
// that was never written is marked empty first, in the same exchange, so the read brings back
// 0xFFFF and a client sees the mailbox free.
void QueueInputReads() {
    if (g_bridge.mailboxMarkDue) {
        g_bridge.mailboxMarkDue = false;
        LinkWrite(kMailboxOffset, sizeof kMailboxEmpty, &kMailboxEmpty, g_bridge.linkResult);
    }
    LinkRead(kMailboxOffset, sizeof g_bridge.mailbox, &g_bridge.mailbox, g_bridge.linkResult);
    // One byte into each 32-bit slot: the upper bytes stay 0, so a slot holds 0..255.
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        LinkRead(kEncoderTable[k].counterOffset, 1, &g_bridge.encoderSlots[k], g_bridge.linkResult);
    }
}

}  // namespace

LinkResult RunCycle() {
    ++g_bridge.cyclesRun;
    LinkResult exportExchange = LINK_OK;
    if (const std::uint8_t* stateView = SdkStateView(); stateView != nullptr) {
        std::memcpy(g_bridge.snapshot, stateView, kSnapshotSize);
        DecodeDisplays();
        PackIndicatorFlags();
        ExportDisplays();
        ExportIndicatorFlags();
        ExportSingleValues();
        QueueInputReads();
        LinkProcess(g_bridge.linkResult);
        exportExchange = g_bridge.linkResult;
    }
    // A failed exchange leaves the mailbox and slots as last read, so nothing is served twice.
    if (SdkCommandViewMapped()) {
        ServeCommandMailbox();
        ServeEncoders();
    }
    // A lost first exchange took this cycle's exports with it, and their last-sent copies say
    // they went out: the cycle fails, even when the mailbox's exchange got through afterwards.
    return exportExchange != LINK_OK ? exportExchange : g_bridge.linkResult;
}

void ResetBridgeState() {
    g_bridge = {};
}
