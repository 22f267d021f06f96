#include "bench/latency/cycle_reads.h"

#include "simlink/simlink.h"

bool ExchangeCycleReads(CycleReads& reads, LinkResult& result) {
    LinkRead(kMailboxOffset, sizeof reads.mailbox, &reads.mailbox, result);
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        LinkRead(kEncoderTable[k].counterOffset, 1, &reads.counters[k], result);
    }
    return LinkProcess(result);
}
