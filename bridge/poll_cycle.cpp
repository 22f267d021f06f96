// One poll cycle: snapshot the add-on's state, export what changed together with the reads of
// the input block in one exchange, then serve the inputs that exchange brought.
#include <cstring>

#include "bridge/bridge.h"
#include "bridge/encoder_table.h"
#include "sdk/sdk.h"
#include "simlink/simlink.h"

BridgeState g_bridge;

namespace {

// Queued after every write of the cycle, so the exchange carries the exports first.
void QueueInputReads() {
    LinkRead(kMailboxOffset, sizeof g_bridge.mailbox, &g_bridge.mailbox, g_bridge.linkResult);
    // One byte into each 32-bit slot: the upper bytes stay 0, so a slot holds 0..255.
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        LinkRead(kEncoderTable[k].counterOffset, 1, &g_bridge.encoderSlots[k], g_bridge.linkResult);
    }
}

// A mailbox that was never written is marked empty at the end of the first exchange, after its
// read: the module carries out one request as a whole, so a code a client posted since
// connecting (while the window says LOADING) is read before the mark and still forwarded.
void QueueMailboxMark() {
    LinkWrite(kMailboxOffset, sizeof kMailboxEmpty, &kMailboxEmpty, g_bridge.linkResult);
}

// The fresh memory's 0, read back before the mark, is no code.
void TakeMarkedMailbox() {
    g_bridge.mailboxMarkDue = false;
    if (g_bridge.mailbox == 0) g_bridge.mailbox = kMailboxEmpty;
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
        if (g_bridge.mailboxMarkDue) QueueMailboxMark();
        LinkProcess(g_bridge.linkResult);
        exportExchange = g_bridge.linkResult;
        if (g_bridge.mailboxMarkDue) TakeMarkedMailbox();
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
