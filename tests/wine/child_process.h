// A program that a Wine test runs as a process of its own, under every other helper that starts
// one (StandInProcess, QuorvaneProcess, a console's monitor): started suspended in a job that
// ends it, and whatever it started, with the test however the test ends.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Polls `condition` every few milliseconds until it holds or `timeoutMs` has passed.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(20);
    }
}

// The directory of the running executable, with a trailing backslash.
std::string ExecutableDirectory();
// `text` in the system's code page, as a wide string.
std::wstring Widened(const std::string& text);

class ChildProcess {
  public:
    // Handles the program inherits as its standard input, output and error.
    struct StandardHandles {
        HANDLE input;
        HANDLE output;
        HANDLE error;
    };

    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Ends it if it still runs.
    ~ChildProcess();

    // Starts `path` with `arguments`; with `handles`, those as its standard ones (inherited), else
    // none at all. `beforeRun`, if given, is called while the program still waits to run its
    // first instruction. False when it could not be started. A program started before is
    // ended first.
    bool Start(const std::wstring& path, const std::wstring& arguments,
               const StandardHandles* handles = nullptr,
               const std::function<void(const PROCESS_INFORMATION&)>& beforeRun = nullptr);

    // True once it ended within `timeoutMs`.
    bool WaitForExit(DWORD timeoutMs) const;
    // STILL_ACTIVE while it runs or before it started; kept after End until the next Start.
    DWORD ExitCode() const;
    DWORD processId() const { return processId_; }

    // Gives it `graceMs` to end by itself, then terminates it; then ends whatever it started.
    void End(DWORD graceMs = 0);

  private:
    HANDLE process_ = nullptr;  // kept after the end, for the exit code
    HANDLE job_ = nullptr;      // kills the program when closed or when this process ends
    DWORD processId_ = 0;
};
