// The period the cycle's timer achieves, seen from the module's side: the stand-in counts the
// exchanges it handles, and with no command posted every cycle makes exactly one.
#include <vector>

#include "bench/latency/latency.h"
#include "tools/kit-module/offsets_mapping.h"

bool MeasureTimerPeriod(std::uint32_t seconds) {
    OffsetsView module{};
    if (!OpenOffsetsView(module)) {
        Report("period: no stand-in module runs\n");
        return false;
    }
    // Polled once a millisecond: each interval is known to about a millisecond, the mean over
    // the whole window exactly.
    std::vector<double> intervals;
    intervals.reserve(seconds * 1000 / 5 + 1);
    std::uint32_t lastCount = ExchangeCount(module);
    double lastSeen = 0.0, firstSeen = 0.0;
    std::uint32_t exchanges = 0;
    const double end = NowMicroseconds() + seconds * 1e6;
    while (NowMicroseconds() < end) {
        Sleep(1);
        const std::uint32_t count = ExchangeCount(module);
        if (count == lastCount) continue;
        const double now = NowMicroseconds();
        if (exchanges == 0) {
            firstSeen = now;
        } else {
            intervals.push_back((now - lastSeen) / 1000.0 / (count - lastCount));
        }
        exchanges += exchanges == 0 ? 1 : count - lastCount;
        lastCount = count;
        lastSeen = now;
    }
    CloseOffsetsView(module);
    if (exchanges < 2) {
        Report("period: fewer than two exchanges in %u s; is the bridge running?\n", seconds);
        return false;
    }
    const double meanMs = (lastSeen - firstSeen) / 1000.0 / (exchanges - 1);
    Report("period_ms mean=%.3f exchanges_per_s=%.1f\n", meanMs, 1000.0 / meanMs);
    PrintDistribution("period_interval_ms", intervals.data(), intervals.size());
    return true;
}
