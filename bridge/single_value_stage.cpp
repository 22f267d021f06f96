// Single fields of the add-on's state block, each sent to its own offset when it changed.
#include "bridge/bridge.h"
#include "bridge/narrowing.h"
#include "bridge/single_value_table.h"
#include "bridge/snapshot_fields.h"
#include "simlink/simlink.h"

namespace {

// Compared on all 32 bits though only the low byte is sent: a field going from 1 to 257 sends
// 0x01 again.
void ExportInt32(std::size_t i, const SingleValueRow& row) {
    const std::int32_t value = SnapshotInt32(row.source);
    if (value == g_bridge.lastSentSingleInts[i]) return;
    g_bridge.singleStaging = value;
    LinkWrite(row.destination, 1, &g_bridge.singleStaging, g_bridge.linkResult);
    g_bridge.lastSentSingleInts[i] = value;
}

// Compared as doubles, before narrowing: -0.0 equals 0.0, and a NaN differs from everything, so
// it is sent (as 0x0000) on every cycle.
void ExportFloat64(std::size_t i, const SingleValueRow& row) {
    const double value = SnapshotDouble(row.source);
    if (value == g_bridge.lastSentSingleDoubles[i]) return;
    g_bridge.singleStaging = TruncateToInt32(value);
    LinkWrite(row.destination, 2, &g_bridge.singleStaging, g_bridge.linkResult);
    g_bridge.lastSentSingleDoubles[i] = value;
}

}  // namespace

void ExportSingleValues() {
    for (std::size_t i = 0; i < kSingleValueCount; ++i) {
        const SingleValueRow& row = kSingleValueTable[i];
        if (row.type == kInt32) {
            ExportInt32(i, row);
        } else {
            ExportFloat64(i, row);
        }
    }
}
