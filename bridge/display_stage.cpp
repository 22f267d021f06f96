// The add-on's numeric displays: digit fields decoded into numbers, and each number sent to its
// 16-bit offset when it changed.
#include "bridge/bridge.h"
#include "bridge/display_table.h"
#include "bridge/narrowing.h"
#include "bridge/snapshot_fields.h"
#include "simlink/simlink.h"

namespace {

// A field below 10 (signed, so negatives too) is a digit; 10 and above is blank. A blank discards
// what the fields before it gave, so leading blanks read as zeros, but a blank last field blanks
// the whole display. The sum is taken in 64 bits: a field far below zero times its weight leaves
// the int32 range, but five terms of at most 2^31 * 10^4 each stay below 2^53, so the sum is
// exact in int64 and again when made a double. Integers spare two conversions per digit.
double DecodeDisplay(const DisplayRow& row) {
    std::int64_t sum = 0;
    for (std::size_t i = 0; i + 1 < row.digitCount; ++i) {
        const std::int32_t digit = SnapshotInt32(row.fields[i].source);
        sum = digit < 10 ? sum + std::int64_t{digit} * row.fields[i].weight : 0;
    }
    const DigitField& last = row.fields[row.digitCount - 1];
    const std::int32_t digit = SnapshotInt32(last.source);
    if (digit >= 10) return kBlankDisplay;
    return static_cast<double>(sum + std::int64_t{digit} * last.weight);
}

}  // namespace

void DecodeDisplays() {
    for (std::size_t n = 0; n < kDisplayCount; ++n) {
        g_bridge.displays[n] = DecodeDisplay(kDisplayTable[n]);
    }
}

void ExportDisplays() {
    for (std::size_t n = 0; n < kDisplayCount; ++n) {
        const double value = g_bridge.displays[n];
        if (value == g_bridge.lastSentDisplays[n]) continue;
        g_bridge.displayStaging = Low16Bits(TruncateToInt32(value));
        LinkWrite(kDisplayTable[n].destination, 2, &g_bridge.displayStaging, g_bridge.linkResult);
        g_bridge.lastSentDisplays[n] = value;
    }
}
