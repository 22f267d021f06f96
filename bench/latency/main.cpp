#include <cstdlib>
#include <cstring>

#include "bench/latency/latency.h"

namespace {

constexpr char kUsage[] =
    "usage: latency roundtrip COUNT      exchanges of the nine reads, timed one by one\n"
    "       latency period SECONDS       period between the bridge's exchanges\n"
    "       latency period-about SECONDS the same with Quorvane's About box open, laid bare\n"
    "                                    every 150 ms: how soon it is painted again\n"
    "       latency change COUNT         state block change to value at the module's offset\n"
    "       latency floor SECONDS        the nine reads on each tick of a 10 ms timer, no more\n"
    "       latency floor-windowed SECONDS   the same from a minimised top-level window\n"
    "Needs the stand-in module; period and change need the bridge and the add-on running.\n";

bool ParseCount(const char* text, std::uint32_t& value) {
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || parsed == 0 || parsed > 1000000) return false;
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint32_t number = 0;
    if (argc != 3 || !ParseCount(argv[2], number)) {
        Report("%s", kUsage);
        return 2;
    }
    const char* measure = argv[1];
    bool measured = false;
    if (std::strcmp(measure, "roundtrip") == 0) {
        measured = MeasureRoundTrip(number);
    } else if (std::strcmp(measure, "period") == 0) {
        measured = MeasureTimerPeriod(number);
    } else if (std::strcmp(measure, "period-about") == 0) {
        measured = MeasureTimerPeriodWithAboutBox(number);
    } else if (std::strcmp(measure, "change") == 0) {
        measured = MeasureChangeLatency(number);
    } else if (std::strcmp(measure, "floor") == 0) {
        measured = RunFloorClient(number, false);
    } else if (std::strcmp(measure, "floor-windowed") == 0) {
        measured = RunFloorClient(number, true);
    } else {
        Report("%s", kUsage);
        return 2;
    }
    return measured ? 0 : 1;
}
