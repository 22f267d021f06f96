// The start values of the bridge read back from the module's block. The module keeps 0x9400..
// 0x94F7 for as long as the simulator runs, so after a restart of Quorvane it still holds what
// the last run wrote, and the counters as clients left them. Taking those bytes as what was last
// sent makes the first cycle write exactly the values that differ, and taking the counters as
// last seen forwards no turn that was made while nobody was bridging.
#include "bridge/block_seed.h"

#include <cstring>

#include "bridge/bridge.h"
#include "bridge/display_table.h"
#include "bridge/encoder_table.h"
#include "bridge/flag_table.h"
#include "bridge/single_value_table.h"
#include "simlink/simlink.h"

namespace {

// The low 8 or 16 bits read as two's complement (a wrap that C++20 defines).
constexpr std::int32_t SignedByte(std::uint8_t bits) {
    return static_cast<std::int8_t>(bits);
}
constexpr double SignedWord(std::uint16_t bits) {
    return static_cast<std::int16_t>(bits);
}
static_assert(SignedByte(0xFF) == -1 && SignedByte(0x80) == -128 && SignedByte(0x7F) == 127);
static_assert(SignedWord(0xFFFF) == -1.0 && SignedWord(0x8000) == -32768.0);

// Nothing a bridge or a client writes leaves the whole block zero (an emptied mailbox reads
// 0xFFFF), so an all-zero block is a module's fresh memory.
bool NeverWritten(const BridgeBlock& block) {
    std::uint8_t any = 0;
    for (const std::uint8_t byte : block) any |= byte;
    return any == 0;
}

// A code a client posted while no bridge ran is still forwarded once; an emptied mailbox stays
// empty. A never-written mailbox's 0 is no code: it starts empty, and the first cycle marks it
// so on the module's side as well, in its one exchange. Each counter is taken as seen, so only
// turns from now on become commands.
void SeedInputs(const BridgeBlock& block) {
    std::memcpy(&g_bridge.mailbox, block, sizeof g_bridge.mailbox);
    g_bridge.mailboxMarkDue = NeverWritten(block);
    g_bridge.codeAtConnect = g_bridge.mailbox;
    if (g_bridge.mailboxMarkDue) {
        g_bridge.mailbox = kMailboxEmpty;
        g_bridge.mailboxAtConnect = MailboxAtConnect::NeverWritten;
    } else {
        g_bridge.mailboxAtConnect = g_bridge.mailbox > kMailboxEmpty ? MailboxAtConnect::CodeWaiting
                                                                     : MailboxAtConnect::Empty;
    }
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        const std::int32_t counter = BlockByte(block, kEncoderTable[k].counterOffset);
        g_bridge.encoderSlots[k] = counter;
        g_bridge.lastSeenCounters[k] = counter;
    }
}

// Displays read 0..99999 and 65535.0 when blank, never below zero unless a digit field is, so
// the 16 bits widen unsigned: 0xFFFF comes back as the blank display it almost always is.
void SeedDisplays(const BridgeBlock& block) {
    for (std::size_t n = 0; n < kDisplayCount; ++n) {
        g_bridge.lastSentDisplays[n] = BlockWord(block, kDisplayTable[n].destination);
    }
}

// A byte's flags add up to 0..255. The flagless byte keeps its copy, which equals its packed
// value of 0 for good, so whatever the block holds there it is never written.
void SeedFlags(const BridgeBlock& block) {
    for (std::size_t k = 0; k < kFlagByteCount; ++k) {
        if (FlagSourceCount(kFlagTable[k]) == 0) continue;
        g_bridge.lastSentFlags[k] = BlockByte(block, kFlagTable[k].destination);
    }
}

// Single values are positions, modes and quantities that may go below zero (-1 for "none", a
// negative rate), so both sizes widen with their sign: 0xFF comes back as -1 and 0xFFFF as -1.0.
// Any widening gives back the same bytes when narrowed again, so a value the block does not show
// is always sent; the choice only spares writes of bytes the block already holds.
void SeedSingleValues(const BridgeBlock& block) {
    for (std::size_t i = 0; i < kSingleValueCount; ++i) {
        const SingleValueRow& row = kSingleValueTable[i];
        if (row.type == kInt32) {
            g_bridge.lastSentSingleInts[i] = SignedByte(BlockByte(block, row.destination));
        } else {
            g_bridge.lastSentSingleDoubles[i] = SignedWord(BlockWord(block, row.destination));
        }
    }
}

}  // namespace

LinkResult SeedBridgeFromModuleBlock() {
    // A destination must stay valid until the exchange returns: this frame outlives it. Zeroed,
    // so that no stack bytes can ever pass for the block.
    BridgeBlock block = {};
    if (!LinkRead(kBridgeBlockStart, sizeof block, block, g_bridge.linkResult) ||
        !LinkProcess(g_bridge.linkResult)) {
        return g_bridge.linkResult;
    }
    // A reply may succeed and still leave the read out. Zeros are no safer than stack bytes to
    // seed from (a counter taken as 0 makes every turned counter a command nobody gave), so a
    // read that did not arrive fails the connect.
    if (g_link.recordsWalked != 1) {
        g_bridge.linkResult = LINK_READ_LEFT_OUT;
        return g_bridge.linkResult;
    }
    SeedInputs(block);
    SeedDisplays(block);
    SeedFlags(block);
    SeedSingleValues(block);
    return LINK_OK;
}
