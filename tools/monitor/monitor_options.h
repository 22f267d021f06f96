// What the monitor is told on its command line.
#pragma once

#include <cstdint>
#include <string>

// Between two readings of the live view, unless --watch says otherwise.
constexpr std::uint32_t kLiveViewMs = 250;

struct MonitorOptions {
    bool roundtrip;           // show one write and read-back, step by step, and end
    bool post;                // post `code` to the mailbox first
    std::int32_t code;        // -32768..32767
    bool force;               // post without waiting for the mailbox to be empty
    bool turn;                // turn encoder `encoder` by `steps` first
    std::uint32_t encoder;    // 0..7
    std::int32_t steps;       // any; the counter wraps modulo 256
    std::uint32_t watchMs;    // show the block every watchMs ms; 0: once
    std::uint32_t seconds;    // while watching: end after this long; 0: until ended
    bool brief;               // one line a reading, only what is not zero
    std::uint32_t simulator;  // required simulator for the open; 0: any
};

enum class MonitorCommandLine {
    Run,       // options filled in
    Help,      // --help: `said` is the manual, for standard output
    NotValid,  // `said` says what was wrong, for standard error
};

// Defaults, then the arguments. Without --post, --turn or --once the block is watched, every
// kLiveViewMs unless --watch gives another interval. Prints nothing: what is to be said to the
// user goes to `said`.
MonitorCommandLine ParseMonitorOptions(int argc, char** argv, MonitorOptions& options,
                                       std::string& said);
