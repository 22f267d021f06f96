// What the development stand-ins and the monitor share as console programs: printing lines that
// reach a pipe at once, reading numbers from options (option_text.h), and ending reliably.
#pragma once

#include <cstdint>

#include "platform/printf_format.h"
#include "tools/console/option_text.h"

// printf, then flush: the test harness and the demo read these lines through a pipe while the
// program is still running.
void Say(const char* format, ...) QUORVANE_PRINTF_FORMAT(1, 2);

// The running program's file name without its folder and ".exe": the kit's copies of the
// stand-ins are named differently from the build's.
const char* ProgramName();

// Watches, from a second thread, for the program's end: its standard input closing (only when
// it is a pipe, so a program started from a shell in the background keeps running), `seconds`
// passing (0: never), or Ctrl+C. Then `requestEnd` is called once, from that thread. A program
// still running two seconds later (a handler told to hang, an exchange that does not return) is
// ended from there: at once with exit code 0 when `release` is null; else its main thread (the
// one that called WatchForEnd) is first stopped where it stands, then `release` gives back what
// would outlive the process (a global atom, a hidden console cursor) and returns the exit code.
void WatchForEnd(std::uint32_t seconds, void (*requestEnd)(), int (*release)() = nullptr);

// The main thread's orderly end, before it gives back what `release` would: returns at once,
// unless the watcher thread has begun to end the process; then it waits for that end.
void EnterOrderlyEnd();
