// A stand-in (kit-module.exe, kit-addon.exe, monitor.exe, ...) run as a second process by a Wine
// test: started from the test's own directory, its output collected line by line, and ended
// for certain, also when the test fails or the test process dies.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/win32.h"
#include "tests/wine/child_process.h"

class StandInProcess {
  public:
    StandInProcess() = default;
    StandInProcess(const StandInProcess&) = delete;
    StandInProcess& operator=(const StandInProcess&) = delete;
    ~StandInProcess();

    // Starts `program` from the directory of the running test executable. False when it could
    // not be started.
    bool Start(const std::string& program, const std::string& arguments);
    // Starts the kit's `name` (kit-module, kit-addon) and waits until it says "NAME ready".
    // False when it did not; Output() then says why.
    bool StartReady(const std::string& name, const std::string& arguments);

    // Waits until the program has printed `text` (anywhere in its output). False when it did
    // not within `timeoutMs`, or ended without.
    bool WaitForOutput(const std::string& text, DWORD timeoutMs = 20000);

    // Everything printed so far, lines ending in "\n" alone.
    std::string Output();

    // Waits for the program to end by itself, and then for the last of its output; false
    // after `timeoutMs`.
    bool WaitForExit(DWORD timeoutMs);
    // STILL_ACTIVE while it runs; kept after Stop until the next Start.
    DWORD ExitCode() const { return process_.ExitCode(); }

    // Closes its standard input, which ends every stand-in; one that does not end within a few
    // seconds is terminated. Does nothing when it is not running.
    void Stop();

  private:
    void CollectOutput();

    ChildProcess process_;
    bool running_ = false;         // started and not yet stopped
    HANDLE inputWrite_ = nullptr;  // our end of its standard input
    HANDLE outputRead_ = nullptr;  // our end of its standard output and error
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable outputArrived_;
    std::string output_;
    bool outputEnded_ = false;
};
