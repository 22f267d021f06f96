// The pace of the cycles: whether the 10 ms timer holds on this machine. Each cycle only counts
// and compares (PaceNoteCycle, given one performance-counter read); the summaries are taken a
// few times a second for the panel and every 10 minutes for the log.
#pragma once

#include <cstddef>
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

// How long the module takes to answer each exchange, as the shell measures around the cycle: the
// last second's answers for the panel, and the log period's as a histogram of whole
// milliseconds, so that ten minutes of answers cost no more than one second's.
constexpr std::size_t kRecentAnswers = 128;       // more than a second holds at 100 a second
constexpr std::uint32_t kAnswerBucketsMs = 1000;  // a longer answer counts in the last bucket

struct AnswerTimes {
    std::int64_t recentAt[kRecentAnswers];  // the counter when each recent answer came
    std::uint32_t recentMs[kRecentAnswers];
    std::uint64_t noted;                      // answers ever noted: the ring's next is this
    std::uint32_t buckets[kAnswerBucketsMs];  // the period's answers by whole milliseconds
    std::uint64_t count;                      // answers in the period
    double longestMs;                         // the period's longest answer
};

// One answer of `ticks` (performance counter ticks), at `nowTicks`.
void AnswerNoted(AnswerTimes& answers, std::int64_t ticks, std::int64_t nowTicks,
                 std::int64_t ticksPerSecond);
// The median answer of the last second, in whole milliseconds; -1 when none came.
int RecentMedianAnswerMs(const AnswerTimes& answers, std::int64_t nowTicks,
                         std::int64_t ticksPerSecond);
// The period's median answer in whole milliseconds (-1 when none came), and a new period.
int TakePeriodMedianAnswerMs(AnswerTimes& answers, double& longestMs);
