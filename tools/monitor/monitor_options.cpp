#include "tools/monitor/monitor_options.h"

#include <cstring>

#include "tools/console/console.h"

namespace {

constexpr char kUsage[] =
    "usage: monitor [options]\n"
    "A client of the simulator module, as cockpit software is: reads the bridge block\n"
    "0x9400..0x94F7 through the module and shows displays, lamps, single values, mailbox and\n"
    "encoder counters.\n"
    "  --watch MS        show the block every MS milliseconds (default: once)\n"
    "  --seconds N       with --watch: end after N seconds\n"
    "  --brief           one line a reading, only what is not zero (with --watch, after the\n"
    "                    seconds since the first)\n"
    "  --post CODE       write CODE to the command mailbox 0x9400 first\n"
    "  --turn K STEPS    add STEPS to encoder counter 0x94F0+K (wraps at 256) first\n"
    "  --roundtrip       open, write a value, read it back in a later exchange, close, each\n"
    "                    step shown\n"
    "  --simulator N     refuse a module that reports another simulator (default: any)\n"
    "Exit code 0 when every exchange succeeded, else 1.\n";

}  // namespace

bool ParseMonitorOptions(int argc, char** argv, MonitorOptions& options) {
    options = {};
    bool understood = true;
    for (int i = 1; i < argc && understood; ++i) {
        const char* name = argv[i];
        if (IsOption(name, "--roundtrip")) {
            options.roundtrip = true;
        } else if (IsOption(name, "--watch")) {
            understood = TakeUnsigned(argc, argv, i, options.watchMs) && options.watchMs != 0;
        } else if (IsOption(name, "--brief")) {
            options.brief = true;
        } else if (IsOption(name, "--seconds")) {
            understood = TakeUnsigned(argc, argv, i, options.seconds);
        } else if (IsOption(name, "--simulator")) {
            understood = TakeUnsigned(argc, argv, i, options.simulator);
        } else if (IsOption(name, "--post")) {
            options.post = true;
            understood = TakeSigned(argc, argv, i, options.code) && options.code >= -32768 &&
                         options.code <= 32767;
        } else if (IsOption(name, "--turn")) {
            options.turn = true;
            understood = TakeUnsigned(argc, argv, i, options.encoder) && options.encoder < 8 &&
                         TakeSigned(argc, argv, i, options.steps);
        } else {
            understood = false;
        }
    }
    if (!understood) Say("%s", kUsage);
    return understood;
}
