// The input direction: a code posted in the mailbox and turns of the encoder counters become
// commands in the add-on's command block.
#include <cstdint>

#include "bridge/bridge.h"
#include "bridge/encoder_table.h"
#include "bridge/snapshot_fields.h"
#include "sdk/sdk.h"
#include "simlink/simlink.h"

namespace {

// The counter moved by the shorter way round its 256 values; exactly half way counts as +128.
std::int32_t StepsTurned(std::int32_t counter, std::int32_t lastSeen) {
    std::int32_t steps = counter - lastSeen;
    if (steps < 128) steps += 256;
    if (steps > 128) steps -= 256;
    return steps;
}

// The absolute value the add-on is to take: the display as it reads now, moved by the steps.
double EncoderTarget(const EncoderRow& row, double steps) {
    const double shown = g_bridge.displays[row.display - 1];
    const bool blank = shown == kBlankDisplay;

    if (row.rule == EncoderRule::Hundredths && SnapshotInt32(kHundredthsSwitchField) > 9) {
        const double base = blank ? 0.0 : shown / 100.0;
        return base + steps / 100.0;
    }
    if (blank) return steps * row.blankStep;

    double base = shown;
    if (row.rule == EncoderRule::SignField && SnapshotInt32(kSignField) == kMinusSign) {
        base = -base;
    }
    return base + steps * row.step;
}

// Every command the add-on is given goes through here, so the window can tell what arrived.
void Forward(std::int32_t code, double parameter) {
    SdkSendCommand(code, parameter);
    ++g_bridge.commandsForwarded;
    g_bridge.lastCommandCode = code;
    g_bridge.lastCommandParameter = parameter;
}

}  // namespace

void ServeCommandMailbox() {
    if (g_bridge.mailbox <= kMailboxEmpty) return;

    Forward(g_bridge.mailbox, 0.0);
    // Emptied here and on the module's side at once, so the code is served only once.
    g_bridge.mailbox = kMailboxEmpty;
    LinkWrite(kMailboxOffset, sizeof g_bridge.mailbox, &g_bridge.mailbox, g_bridge.linkResult);
    LinkProcess(g_bridge.linkResult);
}

void ServeEncoders() {
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        const std::int32_t counter = g_bridge.encoderSlots[k];
        std::int32_t& lastSeen = g_bridge.lastSeenCounters[k];
        if (counter == lastSeen) continue;

        const EncoderRow& row = kEncoderTable[k];
        const double target = EncoderTarget(row, StepsTurned(counter, lastSeen));
        lastSeen = counter;
        Forward(row.commandCode, target);
    }
}
