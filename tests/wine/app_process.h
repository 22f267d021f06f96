// Quorvane.exe as the tests run it: a process of its own, with a hook in its window thread that
// traces the status bar's texts (see app_status_trace.h), and the few ways a user reaches it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/wine/child_process.h"

struct TracedStatus {
    std::wstring text;
    std::uint64_t tickMs;
    bool windowMinimised;
};

class QuorvaneProcess {
  public:
    QuorvaneProcess() = default;
    QuorvaneProcess(const QuorvaneProcess&) = delete;
    QuorvaneProcess& operator=(const QuorvaneProcess&) = delete;
    // Ends the process if it still runs.
    ~QuorvaneProcess();

    // Starts it with the trace hook in place before its first instruction runs. `beforeRun`, if
    // given, is called with its process id while it still waits to run its first instruction.
    bool Start(const std::function<void(DWORD processId)>& beforeRun = nullptr);
    // Its main window and status bar, once they exist; false after the timeout.
    bool WaitForWindow(DWORD timeoutMs = 10000);

    HWND window() const { return window_; }
    HWND statusBar() const { return statusBar_; }
    DWORD processId() const { return process_.processId(); }

    // The status bar's text now, read with WM_GETTEXT; empty when it does not answer.
    std::wstring StatusText() const;
    // The text of the panel line with control id `id` now; empty when it does not answer.
    std::wstring PanelLine(int id) const;
    // Whether the request buffer of its `open`th link still has its atom or mapping.
    bool BufferNameHeld(std::uint32_t open) const;
    // Every text set so far, in order.
    std::vector<TracedStatus> Trace() const;
    bool WaitForTraceLength(std::size_t length, DWORD timeoutMs) const;
    // Whether File > Reconnect is offered (its menu item not greyed) now.
    bool ReconnectOffered() const;

    // Its About box while it shows one, else null.
    HWND FindAboutBox() const;
    // Alt+"?" typed on the keyboard into its window.
    void TypeAltQuestionMark() const;

    // True with its exit code when it ends within the timeout.
    bool WaitForExit(DWORD timeoutMs, DWORD& exitCode) const;

  private:
    ChildProcess process_;
    HANDLE traceMapping_ = nullptr;
    HMODULE hookModule_ = nullptr;
    HHOOK hook_ = nullptr;
    HWND window_ = nullptr;
    HWND statusBar_ = nullptr;
};
