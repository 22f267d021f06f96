// The log's lines that the shell writes, from its own state: the start, each connect's outcome,
// the bridge starting and stopping, every 10 minutes the pace, and the exit. The cycle itself
// only reads the performance counter and counts.
#pragma once

#include "platform/win32.h"

// "Quorvane 1.0.0 started on Windows 10.0.19045, process 4242."
void LogStart();
// The outcome just shown (OK, NOT OK, or the bridge stopped), as a line of the log. Failed
// automatic tries repeat every few seconds: only a new reason is logged for them.
void LogOutcome();
// After the first cycle of a bridge: what it made of the mailbox the module's block held.
void LogFirstCycle();
// Every kLogPeriodMs: the pace while the bridge runs, or the waiting for the next try.
void LogPeriod();
// The exit line with the run's totals, once however often it is asked for.
void LogExit();
