// The exchange round trip as any client of the module sees it: queue the nine reads a cycle
// makes, send them in one message, have the read data back.
#include <vector>

#include "bench/latency/cycle_reads.h"
#include "bench/latency/latency.h"
#include "simlink/simlink.h"

bool MeasureRoundTrip(std::uint32_t count) {
    LinkResult result = LINK_OK;
    if (!LinkOpen(0, result)) {
        Report("roundtrip: the link does not open (result %d)\n", result);
        return false;
    }
    CycleReads reads{};
    std::vector<double> samples(count);
    unsigned failures = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const double start = NowMicroseconds();
        failures += !ExchangeCycleReads(reads, result);
        samples[i] = NowMicroseconds() - start;
    }
    LinkClose();
    PrintDistribution("roundtrip_us", samples.data(), samples.size());
    if (failures != 0) Report("roundtrip: %u exchanges failed\n", failures);
    return failures == 0;
}
