// The exchange round trip as any client of the module sees it: queue the nine reads a cycle
// makes, send them in one message, have the read data back.
#include <vector>

#include "bench/latency/latency.h"
#include "bridge/encoder_table.h"
#include "simlink/simlink.h"

bool MeasureRoundTrip(std::uint32_t count) {
    LinkResult result = LINK_OK;
    if (!LinkOpen(0, result)) {
        Report("roundtrip: the link does not open (result %d)\n", result);
        return false;
    }
    std::int16_t mailbox = 0;
    std::int32_t counters[kEncoderCount] = {};
    std::vector<double> samples(count);
    unsigned failures = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const double start = NowMicroseconds();
        LinkRead(kMailboxOffset, sizeof mailbox, &mailbox, result);
        for (std::size_t k = 0; k < kEncoderCount; ++k) {
            LinkRead(kEncoderTable[k].counterOffset, 1, &counters[k], result);
        }
        failures += !LinkProcess(result);
        samples[i] = NowMicroseconds() - start;
    }
    LinkClose();
    PrintDistribution("roundtrip_us", samples.data(), samples.size());
    if (failures != 0) Report("roundtrip: %u exchanges failed\n", failures);
    return failures == 0;
}
