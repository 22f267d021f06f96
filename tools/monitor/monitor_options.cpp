#include "tools/monitor/monitor_options.h"

#include <cstdio>

#include "tools/console/console.h"

namespace {

constexpr char kManual[] =
    R"(monitor - shows what Quorvane passes to the simulator's IPC module, and sends
commands back through it

Usage: monitor [options]

monitor.exe is a client of the simulator's IPC module, as cockpit hardware and
panel programs are. It reads the block 0x9400..0x94F7 that Quorvane fills and
shows the add-on's cockpit there: lamp bytes as bits 7..0, displays as numbers
("blank" for a blank display), single values, the command mailbox and the
encoder counters. offsets.csv and offsets.md say which offset is which.

Started without options, it shows the block live: four times a second the
view is redrawn in place, and a * after a value marks that it changed since
the redraw before. Press q, Esc or Ctrl+C to end it. Give its console window
at least 112 columns and 30 lines. When the output goes to a file or a pipe,
each reading is printed after the previous one instead.

Options:
  --watch MS       redraw every MS milliseconds instead of every 250
  --seconds N      end the view after N seconds
  --once           show the block once and end
  --brief          one line a reading, with only the values that are not 0
  --post CODE      post command CODE (0..32767) to the mailbox 0x9400, then
                   show the block once; Quorvane passes it to the add-on and
                   writes -1 back to empty the mailbox
  --turn K STEPS   turn encoder K (0..7: counter 0x94F0 + K) by STEPS, negative
                   to turn it down, then show the block once
  --roundtrip      check the link alone: open it, write a value to 0x9474,
                   read it back, close it, showing each step
  --simulator N    refuse a module that reports a simulator other than N
  --help           show this text

Add --watch to --post or --turn to go on watching afterwards.

Exit codes:
  0  every exchange with the module succeeded
  1  an exchange failed, or the module refused the connection
  2  the command line was not understood
  3  the simulator's IPC module is not running: start the simulator with its
     module, wait until it has loaded, then run monitor again
)";

bool Parse(int argc, char** argv, MonitorOptions& options, bool& help, bool& once) {
    bool understood = true;
    for (int i = 1; i < argc && understood; ++i) {
        const char* name = argv[i];
        if (IsOption(name, "--help") || IsOption(name, "-h") || IsOption(name, "/?")) {
            help = true;
        } else if (IsOption(name, "--roundtrip")) {
            options.roundtrip = true;
        } else if (IsOption(name, "--watch")) {
            understood = TakeUnsigned(argc, argv, i, options.watchMs) && options.watchMs != 0;
        } else if (IsOption(name, "--once")) {
            once = true;
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
        if (!understood) std::fprintf(stderr, "monitor: %s: not understood\n", name);
    }
    return understood;
}

}  // namespace

MonitorCommandLine ParseMonitorOptions(int argc, char** argv, MonitorOptions& options) {
    options = {};
    bool help = false;
    bool once = false;
    if (!Parse(argc, argv, options, help, once)) {
        std::fprintf(stderr, "monitor --help explains every option.\n");
        return MonitorCommandLine::NotValid;
    }
    if (help) {
        Say("%s", kManual);
        return MonitorCommandLine::Help;
    }
    if (once && options.watchMs != 0) {
        std::fprintf(stderr, "monitor: --once and --watch: choose one.\n");
        return MonitorCommandLine::NotValid;
    }
    const bool acts = options.post || options.turn || once;
    if (!acts && options.watchMs == 0) options.watchMs = kLiveViewMs;
    return MonitorCommandLine::Run;
}
