// What the monitor is told on its command line.
#pragma once

#include <cstdint>

struct MonitorOptions {
    bool roundtrip;           // show one write and read-back, step by step, and end
    bool post;                // post `code` to the mailbox first
    std::int32_t code;        // -32768..32767
    bool turn;                // turn encoder `encoder` by `steps` first
    std::uint32_t encoder;    // 0..7
    std::int32_t steps;       // any; the counter wraps modulo 256
    std::uint32_t watchMs;    // show the block every watchMs ms; 0: once
    std::uint32_t seconds;    // with --watch: end after this long; 0: until ended
    bool brief;               // one line a reading, only what is not zero
    std::uint32_t simulator;  // required simulator for the open; 0: any
};

// Defaults, then the arguments. False, with the usage printed, on anything not understood or on
// --help.
bool ParseMonitorOptions(int argc, char** argv, MonitorOptions& options);
