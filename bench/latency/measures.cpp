#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "bench/latency/latency.h"

double NowMicroseconds() {
    static const double ticksPerMicrosecond = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1e6;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMicrosecond;
}

// Nearest-rank percentiles: the value below which `percent` of the samples lie.
void PrintDistribution(const char* label, double* samples, std::size_t count) {
    if (count == 0) {
        Report("%s n=0\n", label);
        return;
    }
    std::sort(samples, samples + count);
    auto rank = [count](double percent) {
        const auto index = static_cast<std::size_t>(percent / 100.0 * static_cast<double>(count));
        return std::min(index, count - 1);
    };
    Report("%s n=%u median=%.1f p99=%.1f max=%.1f\n", label, static_cast<unsigned>(count),
           samples[rank(50)], samples[rank(99)], samples[count - 1]);
}

void Report(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::fflush(stdout);
}
