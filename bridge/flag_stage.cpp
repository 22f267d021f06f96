// The add-on's indicator flags folded into bytes and sent when a byte's sum changed.
#include <array>

#include "bridge/bridge.h"
#include "bridge/flag_table.h"
#include "bridge/narrowing.h"
#include "bridge/snapshot_fields.h"
#include "simlink/simlink.h"

namespace {

// Which bytes have flags, worked out once when compiling: counting a row's sources on every
// cycle cost more than packing the row.
constexpr std::array<bool, kFlagByteCount> kByteHasFlags = [] {
    std::array<bool, kFlagByteCount> hasFlags{};
    for (std::size_t k = 0; k < kFlagByteCount; ++k) {
        hasFlags[k] = FlagSourceCount(kFlagTable[k]) != 0;
    }
    return hasFlags;
}();

}  // namespace

// An arithmetic sum, not an OR: a field holding 2 lands on the next bit up and a negative field
// subtracts. Taken in uint32_t, where overflow wraps by definition, then read as signed 32 bits.
// The flagless byte's element is left alone, so it stays equal to its last-sent copy.
void PackIndicatorFlags() {
    for (std::size_t k = 0; k < kFlagByteCount; ++k) {
        if (!kByteHasFlags[k]) continue;
        const FlagRow& row = kFlagTable[k];
        std::uint32_t sum = 0;
        for (std::size_t bit = 0; bit < kBitsPerFlagByte; ++bit) {
            if (row.sources[bit] == kNone) continue;
            sum += static_cast<std::uint32_t>(SnapshotInt32(row.sources[bit])) << bit;
        }
        g_bridge.packedFlags[k] = WrapToInt32(sum);
    }
}

// The whole 32-bit sum decides whether the byte is sent, so a carry out of bit 7 alone still
// sends it. The write takes the element's lowest-addressed byte, its low-order 8 bits.
void ExportIndicatorFlags() {
    for (std::size_t k = 0; k < kFlagByteCount; ++k) {
        const std::int32_t sum = g_bridge.packedFlags[k];
        if (sum == g_bridge.lastSentFlags[k]) continue;
        LinkWrite(kFlagTable[k].destination, 1, &g_bridge.packedFlags[k], g_bridge.linkResult);
        g_bridge.lastSentFlags[k] = sum;
    }
}
