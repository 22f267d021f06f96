// Quorvane.log in %LOCALAPPDATA%\Quorvane: opened, appended to and closed for each line, so
// that nothing stays open, another copy's lines interleave whole, and a log deleted or moved
// while Quorvane runs simply begins again. Nothing here reports failure beyond its result:
// a log that cannot be written costs the bridge nothing but the failed calls.
#pragma once

#include <cstddef>

#include "platform/printf_format.h"
#include "platform/win32.h"

constexpr std::size_t kLogPathLength = 300;  // characters of a folder or file path

// The log's folder, "%LOCALAPPDATA%\Quorvane" expanded; false when the variable is not set or
// the path is too long.
bool LogFolderPath(wchar_t (&folder)[kLogPathLength]);

// Appends `length` bytes (one or more whole lines) to the log, creating the folder when
// missing and first moving a log that would grow past 1 MiB to Quorvane.log.1. False when the
// line was not written.
bool AppendToLog(const char* line, std::size_t length);

// One line for an event, after the local time; lost when the log cannot be written.
void LogEvent(const char* format, ...) QUORVANE_PRINTF_FORMAT(1, 2);
