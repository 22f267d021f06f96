// latency: measures, under Wine or on Windows, how the bridge performs across processes: the
// exchange round trip, the period the cycle's timer achieves, and the delay from a change in the
// add-on's state block to the new value at the module's offset. Each measure prints lines of
// name=value pairs for scripts/bench-wine to collect. (CPU time is taken from /proc by the
// script: Wine gives GetProcessTimes of another process as zero.)
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/printf_format.h"
#include "platform/win32.h"

// Times every exchange of a client that opens its own link to the module and makes `count`
// exchanges of the cycle's nine reads.
bool MeasureRoundTrip(std::uint32_t count);

// Watches the stand-in module's exchange counter for `seconds`: the period between exchanges.
bool MeasureTimerPeriod(std::uint32_t seconds);
// The same while Quorvane's About box is open, its modal loop running on the window thread;
// meanwhile the box is invalidated every 150 ms and the time until it is painted again taken.
bool MeasureTimerPeriodWithAboutBox(std::uint32_t seconds);

// Makes `count` changes to a single value of the add-on's state block, each at a random moment,
// and times each until the module's offset holds the new value.
bool MeasureChangeLatency(std::uint32_t count);

// For `seconds`, makes the cycle's nine reads on every tick of a 10 ms window timer of its own,
// nothing else: the floor that Quorvane's CPU is compared with. The timer's window is
// message-only, or with `windowed` a minimised top-level window as Quorvane's: under Wine the
// X11 driver polls the display for any thread that has a real window.
bool RunFloorClient(std::uint32_t seconds, bool windowed);

// ---- Shared by the measures --------------------------------------------------------------------

// Microseconds on the performance counter.
double NowMicroseconds();

// Sorts `samples` in place and prints "<label> n=.. median=.. p99=.. max=.." in `unit`.
void PrintDistribution(const char* label, double* samples, std::size_t count);

// printf, then flush: the script reads the lines through a pipe.
void Report(const char* format, ...) QUORVANE_PRINTF_FORMAT(1, 2);
