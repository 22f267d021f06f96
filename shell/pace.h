// The pace of the cycles: whether the 10 ms timer holds on this machine. Each cycle only counts
// and compares (PaceNoteCycle, given one performance-counter read); the summaries are taken a
// few times a second for the panel and every 10 minutes for the log.
#pragma once

#include <cstdint>

constexpr std::uint32_t kSlowGapMs = 50;  // a gap longer than this is counted as a slow one

struct PaceCounters {
    std::int64_t ticksPerSecond;    // the performance counter's frequency; 0 until known
    std::int64_t lastCycleTicks;    // the counter at the last cycle; 0: no cycle yet
    std::int64_t periodStartTicks;  // the counter when the period began
    std::uint64_t cycles;           // cycles in the period
    std::int64_t longestGapTicks;   // longest gap between two cycles in the period
    std::uint32_t slowGaps;         // gaps in the period longer than kSlowGapMs
};

// Runs once per cycle: counters and comparisons only.
inline void PaceNoteCycle(PaceCounters& pace, std::int64_t nowTicks) {
    if (pace.lastCycleTicks != 0) {
        const std::int64_t gap = nowTicks - pace.lastCycleTicks;
        if (gap > pace.longestGapTicks) pace.longestGapTicks = gap;
        if (gap * 1000 > pace.ticksPerSecond * kSlowGapMs) ++pace.slowGaps;
    }
    pace.lastCycleTicks = nowTicks;
    ++pace.cycles;
}

// A new period from `nowTicks`, with no cycle before it: the bridge (re)starts, or a summary
// was taken. The gap across a pause of the bridge is no gap of the timer.
void PaceStartPeriod(PaceCounters& pace, std::int64_t nowTicks, bool keepLastCycle);

struct PaceSummary {
    std::uint64_t cycles;    // in the period
    double seconds;          // the period's length
    double cyclesPerSecond;  // 0 for an empty period
    double longestGapMs;
    std::uint32_t slowGaps;
};

// The period up to `nowTicks`; a new one begins there, the timer's rhythm carried on.
PaceSummary PaceTakePeriod(PaceCounters& pace, std::int64_t nowTicks);

// Cycles per second for the panel, over at least a second so that a tick more or less in the
// window does not show as a change; -1 until the first second has passed.
struct RateMeter {
    std::uint64_t startCycles;
    std::int64_t startTicks;  // 0: not started
    double perSecond;
};

void RateMeterSample(RateMeter& meter, std::uint64_t cycles, std::int64_t nowTicks,
                     std::int64_t ticksPerSecond);
