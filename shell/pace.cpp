#include "shell/pace.h"

void PaceStartPeriod(PaceCounters& pace, std::int64_t nowTicks, bool keepLastCycle) {
    pace.periodStartTicks = nowTicks;
    if (!keepLastCycle) pace.lastCycleTicks = 0;
    pace.cycles = 0;
    pace.longestGapTicks = 0;
    pace.slowGaps = 0;
}

PaceSummary PaceTakePeriod(PaceCounters& pace, std::int64_t nowTicks) {
    PaceSummary summary{};
    summary.cycles = pace.cycles;
    summary.slowGaps = pace.slowGaps;
    if (pace.ticksPerSecond > 0) {
        const double perSecond = static_cast<double>(pace.ticksPerSecond);
        summary.seconds = static_cast<double>(nowTicks - pace.periodStartTicks) / perSecond;
        summary.longestGapMs = static_cast<double>(pace.longestGapTicks) * 1000.0 / perSecond;
        if (summary.seconds > 0) {
            summary.cyclesPerSecond = static_cast<double>(pace.cycles) / summary.seconds;
        }
    }
    PaceStartPeriod(pace, nowTicks, true);
    return summary;
}

void RateMeterSample(RateMeter& meter, std::uint64_t cycles, std::int64_t nowTicks,
                     std::int64_t ticksPerSecond) {
    if (meter.startTicks == 0 || cycles < meter.startCycles || ticksPerSecond <= 0) {
        meter = {cycles, nowTicks, -1.0};
        return;
    }
    const std::int64_t elapsed = nowTicks - meter.startTicks;
    if (elapsed < ticksPerSecond) return;
    meter.perSecond = static_cast<double>(cycles - meter.startCycles) *
                      static_cast<double>(ticksPerSecond) / static_cast<double>(elapsed);
    meter.startCycles = cycles;
    meter.startTicks = nowTicks;
}
