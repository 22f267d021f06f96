#include "shell/pace.h"

#include <algorithm>
#include <iterator>

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

void AnswerNoted(AnswerTimes& answers, std::int64_t ticks, std::int64_t nowTicks,
                 std::int64_t ticksPerSecond) {
    if (ticksPerSecond <= 0) return;
    const double ms = static_cast<double>(ticks) * 1000.0 / static_cast<double>(ticksPerSecond);
    const std::uint32_t wholeMs =
        ms >= kAnswerBucketsMs - 1 ? kAnswerBucketsMs - 1 : static_cast<std::uint32_t>(ms);
    const std::size_t slot = answers.noted++ % kRecentAnswers;
    answers.recentAt[slot] = nowTicks;
    answers.recentMs[slot] = wholeMs;
    ++answers.buckets[wholeMs];
    ++answers.count;
    if (ms > answers.longestMs) answers.longestMs = ms;
}

int RecentMedianAnswerMs(const AnswerTimes& answers, std::int64_t nowTicks,
                         std::int64_t ticksPerSecond) {
    std::uint32_t recent[kRecentAnswers];
    std::size_t count = 0;
    for (std::size_t i = 0; i < kRecentAnswers && i < answers.noted; ++i) {
        if (nowTicks - answers.recentAt[i] <= ticksPerSecond) recent[count++] = answers.recentMs[i];
    }
    if (count == 0) return -1;
    std::nth_element(recent, recent + count / 2, recent + count);
    return static_cast<int>(recent[count / 2]);
}

int TakePeriodMedianAnswerMs(AnswerTimes& answers, double& longestMs) {
    longestMs = answers.longestMs;
    int median = -1;
    std::uint64_t seen = 0;
    for (std::uint32_t ms = 0; ms < kAnswerBucketsMs && answers.count > 0; ++ms) {
        seen += answers.buckets[ms];
        if (seen * 2 > answers.count) {
            median = static_cast<int>(ms);
            break;
        }
    }
    std::fill(std::begin(answers.buckets), std::end(answers.buckets), 0u);
    answers.count = 0;
    answers.longestMs = 0;
    return median;
}
