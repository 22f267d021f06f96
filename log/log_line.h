// The lines of Quorvane.log: each one event, after the local date and time to the millisecond,
// ending in CR LF; and when the log has grown enough to begin a new one.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

constexpr std::size_t kLogLineLength = 1024;  // a longer event is cut, its CR LF kept
constexpr std::uint64_t kLogRotateBytes = 1024 * 1024;

// "2026-12-09 22:31:05.123 " followed by the event and CR LF, into `line`; gives its length.
std::size_t FormatLogLine(char (&line)[kLogLineLength], const SYSTEMTIME& time, const char* format,
                          std::va_list arguments);

// Whether the log, `logBytes` long now, is to become Quorvane.log.1 before `lineBytes` more
// are written: the log never grows past 1 MiB, but a line always goes into the new one.
bool LogNeedsRotation(std::uint64_t logBytes, std::size_t lineBytes);
