// The reads a quiet poll cycle sends, as any client of the module can make them: the mailbox's
// two bytes and one byte of each encoder counter, in the bridge's order, in one exchange. The
// measures that stand for Quorvane's exchange across processes put these very bytes on the wire.
#pragma once

#include <cstdint>

#include "bridge/encoder_table.h"
#include "simlink/link_result.h"

struct CycleReads {
    std::int16_t mailbox;                  // 0x9400
    std::int32_t counters[kEncoderCount];  // low byte read from 0x94F0 + k, as the bridge reads
};

// Queues the nine reads into `reads` and exchanges them; true when the exchange succeeded.
bool ExchangeCycleReads(CycleReads& reads, LinkResult& result);
