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

// Whether this copy moves a full log aside; off until set. Only the copy that holds the
// one-copy mutex may: two copies that both found the log full would both move it, and the
// second move would put the first one's fresh log in place of the older one.
void SetLogRotation(bool rotates);

// Appends `length` bytes (one or more whole lines) to the log, creating the folder when
// missing and, where this copy rotates, first moving a log that would grow past 1 MiB to
// Quorvane.log.1. False when the line was not written.
bool AppendToLog(const char* line, std::size_t length);

// One line for an event, after the local time; lost when the log cannot be written.
void LogEvent(const char* format, ...) QUORVANE_PRINTF_FORMAT(1, 2);
