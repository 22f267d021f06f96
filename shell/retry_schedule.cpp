#include "shell/retry_schedule.h"

namespace {

constexpr std::uint32_t kSecondsPerDay = 24 * 60 * 60;

}  // namespace

ClockTime ClockAfter(ClockTime time, std::uint32_t seconds) {
    const std::uint32_t of_day =
        (time.hour * 3600u + time.minute * 60u + time.second + seconds % kSecondsPerDay) %
        kSecondsPerDay;
    return {static_cast<std::uint16_t>(of_day / 3600), static_cast<std::uint16_t>(of_day / 60 % 60),
            static_cast<std::uint16_t>(of_day % 60)};
}

bool RetryAfterOutcome(RetrySchedule& schedule, bool notOk, ClockTime ended) {
    if (!notOk) schedule.tries = 0;
    schedule.waiting = schedule.enabled && notOk;
    if (schedule.waiting) schedule.nextTry = ClockAfter(ended, kRetryDelayMs / 1000);
    return schedule.waiting;
}

bool RetrySetEnabled(RetrySchedule& schedule, bool enabled, bool notOk, ClockTime now) {
    schedule.enabled = enabled;
    if (!enabled) {
        schedule.waiting = false;
        return false;
    }
    // Already waiting: the try keeps its time.
    if (schedule.waiting) return false;
    return RetryAfterOutcome(schedule, notOk, now);
}

bool RetryBegin(RetrySchedule& schedule) {
    if (!schedule.waiting) return false;
    schedule.waiting = false;
    ++schedule.tries;
    return true;
}
