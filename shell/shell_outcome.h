// What the shell adds to the link's codes when it reports the program's status, and where the
// bridge stands: the words of the panel and the log are chosen from these two.
#pragma once

#include "simlink/link_result.h"

enum : LinkResult {
    STATUS_MODULE_NOT_ANSWERING = 101,  // an automatic try found the module's window silent
    STATUS_NO_CYCLE_CLOCK = 102,        // Windows gave no timer to pace the cycles
};

// Where the bridge stands. Starting counts as not started: nothing has run yet.
enum class BridgePhase {
    NotStarted,  // connecting failed, or "Status: LOADING" still stands
    Connecting,  // a connect is under way: the window waits for the module's answer
    Running,     // the clock drives a cycle every 10 ms
    Stopped,     // a cycle failed; nothing runs until File > Reconnect
};
