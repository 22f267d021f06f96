#include "log/log_line.h"

#include <cstdio>

std::size_t FormatLogLine(char (&line)[kLogLineLength], const SYSTEMTIME& time, const char* format,
                          std::va_list arguments) {
    constexpr std::size_t kEnd = 2;  // CR LF
    int length = std::snprintf(line, sizeof line - kEnd, "%04u-%02u-%02u %02u:%02u:%02u.%03u ",
                               time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
                               time.wSecond, time.wMilliseconds);
    if (length < 0) length = 0;
    const int event = std::vsnprintf(
        line + length, sizeof line - kEnd - static_cast<std::size_t>(length), format, arguments);
    std::size_t used = static_cast<std::size_t>(length);
    if (event > 0) used += static_cast<std::size_t>(event);
    // vsnprintf left room for its terminator only: a cut event ends one byte short.
    if (used > sizeof line - kEnd - 1) used = sizeof line - kEnd - 1;
    line[used] = '\r';
    line[used + 1] = '\n';
    line[used + 2] = '\0';
    return used + kEnd;
}

bool LogNeedsRotation(std::uint64_t logBytes, std::size_t lineBytes) {
    return logBytes > 0 && logBytes + lineBytes > kLogRotateBytes;
}
