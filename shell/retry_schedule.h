// When the next automatic reconnect is due. While the option is on and the status says NOT OK,
// a try follows 5 s after the last one ended; a try that reaches both sides ends the waiting.
#pragma once

#include <cstdint>

constexpr std::uint32_t kRetryDelayMs = 5000;

// A time of day on the local clock, to the second: what the panel shows of the next try.
struct ClockTime {
    std::uint16_t hour;
    std::uint16_t minute;
    std::uint16_t second;
};

// `time` plus `seconds`, round the clock past midnight.
ClockTime ClockAfter(ClockTime time, std::uint32_t seconds);

struct RetrySchedule {
    bool enabled;         // the option "Reconnect automatically"
    bool waiting;         // a try is due at nextTry; the retry timer runs
    std::uint32_t tries;  // automatic tries since the bridge last ran
    ClockTime nextTry;    // when the next try is due
};

// After every try, start or menu choice, given its outcome and the time it ended: true when the
// retry timer is to be set for kRetryDelayMs. A try that reached both sides clears the count.
bool RetryAfterOutcome(RetrySchedule& schedule, bool notOk, ClockTime ended);

// The option turned on or off. Turned on while NOT OK, the waiting begins (true: set the
// timer); turned off, it ends (the caller kills the timer).
bool RetrySetEnabled(RetrySchedule& schedule, bool enabled, bool notOk, ClockTime now);

// The retry timer fired: true when a try is to be made now, which is then counted.
bool RetryBegin(RetrySchedule& schedule);
