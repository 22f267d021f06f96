#include "tools/monitor/monitor_options.h"

#include "tools/console/option_text.h"

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
the redraw before. Press q, Esc or Ctrl+C to end it. The view takes the width
of its console: from 113 columns all of it fits in 28 lines; at 80 columns it
takes 42 lines, so make the window that high or scroll. When the output goes
to a file or a pipe, each reading is printed after the previous one instead,
at the full width (112 columns).

Options:
  --watch MS       redraw every MS milliseconds instead of every 250
  --seconds N      end the view after N seconds
  --once           show the block once and end
  --brief          one line a reading, with only the values that are not 0
  --post CODE      post command CODE (0..32767) to the mailbox 0x9400, then
                   show the block once; Quorvane passes it to the add-on and
                   writes -1 back to empty the mailbox. A code posted before
                   and not taken yet is not overwritten: monitor waits up to
                   2 s for the mailbox to be empty, then gives up (exit 4)
  --force          with --post: post at once, over whatever the mailbox holds
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
  4  --post posted nothing: the mailbox still held a code after 2 s (is
     Quorvane running?)
)";

// What an option's values are, said when they are refused.
struct OptionValues {
    const char* name;
    int count;  // arguments after the option
    const char* rule;
};

// clang-format off
constexpr OptionValues kOptionValues[] = {
    {"--watch",     1, "MS is a number of milliseconds from 1 up, e.g. --watch 500"},
    {"--seconds",   1, "N is a number of seconds, 0 for no end, e.g. --seconds 10"},
    {"--simulator", 1, "N is a simulator's number as its module reports it (0x3308), 0 for any"},
    {"--post",      1, "CODE is a command code 0..32767, or -1 to empty the mailbox, e.g. --post 1000"},
    {"--turn",      2, "K is an encoder 0..7 (its counter is 0x94F0 + K) and STEPS a whole number, "
                       "negative to turn it down, e.g. --turn 3 -2"},
};
// clang-format on

// "monitor: --turn 9 1: K is an encoder 0..7 ...", or "no such option" for a name not known.
std::string Refusal(int argc, char** argv, int at) {
    std::string said = std::string("monitor: ") + argv[at];
    const char* rule = "no such option";
    for (const OptionValues& option : kOptionValues) {
        if (!IsOption(argv[at], option.name)) continue;
        for (int k = at + 1; k <= at + option.count && k < argc; ++k) {
            said += std::string(" ") + argv[k];
        }
        rule = option.rule;
    }
    return said + ": " + rule + ".\n";
}

bool Parse(int argc, char** argv, MonitorOptions& options, bool& help, bool& once,
           std::string& said) {
    bool understood = true;
    for (int i = 1; i < argc && understood; ++i) {
        const int at = i;
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
        } else if (IsOption(name, "--force")) {
            options.force = true;
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
        if (!understood) said = Refusal(argc, argv, at);
    }
    return understood;
}

}  // namespace

MonitorCommandLine ParseMonitorOptions(int argc, char** argv, MonitorOptions& options,
                                       std::string& said) {
    options = {};
    said.clear();
    bool help = false;
    bool once = false;
    if (!Parse(argc, argv, options, help, once, said)) {
        said += "monitor --help explains every option.\n";
        return MonitorCommandLine::NotValid;
    }
    if (help) {
        said = kManual;
        return MonitorCommandLine::Help;
    }
    if (once && options.watchMs != 0) {
        said = "monitor: --once and --watch: choose one.\n";
        return MonitorCommandLine::NotValid;
    }
    if (options.force && !options.post) {
        said = "monitor: --force goes with --post CODE: it posts CODE without waiting.\n";
        return MonitorCommandLine::NotValid;
    }
    const bool acts = options.post || options.turn || once;
    if (!acts && options.watchMs == 0) options.watchMs = kLiveViewMs;
    return MonitorCommandLine::Run;
}
