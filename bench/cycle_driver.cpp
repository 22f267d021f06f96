// cycle_driver quiet|busy N: runs N poll cycles against the in-process fake and nothing else,
// so that an instruction count of it, minus one of "N = 0", is N cycles' worth.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/bench_world.h"

int main(int argc, char** argv) {
    const bool quiet = argc == 3 && std::strcmp(argv[1], "quiet") == 0;
    const bool busy = argc == 3 && std::strcmp(argv[1], "busy") == 0;
    char* end = nullptr;
    const unsigned long cycles = argc == 3 ? std::strtoul(argv[2], &end, 10) : 0;
    if ((!quiet && !busy) || end == argv[2] || *end != '\0') {
        std::fprintf(stderr, "usage: cycle_driver quiet|busy CYCLES\n");
        return 2;
    }
    if (!bench_world::Open()) return 1;

    // The same loop for both kinds, so that the two counts differ only in what the cycles do.
    int which = 0;
    unsigned failures = 0;
    for (unsigned long cycle = 0; cycle < cycles; ++cycle) {
        if (busy) which ^= 1;
        bench_world::UseStateBlock(which);
        failures += RunCycle() != LINK_OK;
    }
    if (failures != 0) {
        std::fprintf(stderr, "cycle_driver: %u cycles failed\n", failures);
        return 1;
    }
    std::printf("%s cycles: %lu, last exchange %zu bytes\n", argv[1], cycles,
                bench_world::LastExchangeBytes());
    return 0;
}
