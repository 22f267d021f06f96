// Quorvane.exe as the tests run it: a process of its own, with a hook in its window thread that
// traces the status bar's texts (see app_status_trace.h), and the few ways a user reaches it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/wine/app_status_trace.h"
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
    // Sets the panel's lines to these texts as the program sets them: only those that differ.
    void ShowPanel(const char* module, const char* addon, const char* bridge) const;
    // The panel as it is laid out now, measured inside the process, after the window was told
    // it moved to a monitor at `movedToDpi` unless 0; zero when it did not answer.
    PanelMeasure MeasurePanel(UINT movedToDpi = 0) const;
    // How often the main window was sized so far (SetWindowPos without SWP_NOSIZE).
    std::uint32_t Resizes() const { return ReadTrace().resizes; }

    // Its About box while it shows one, else null.
    HWND FindAboutBox() const;
    // Alt+"?" typed on the keyboard into its window.
    void TypeAltQuestionMark() const;

    // True with its exit code when it ends within the timeout.
    bool WaitForExit(DWORD timeoutMs, DWORD& exitCode) const;

  private:
    StatusTrace ReadTrace() const;

    ChildProcess process_;
    HANDLE traceMapping_ = nullptr;
    HMODULE hookModule_ = nullptr;
    HHOOK hook_ = nullptr;
    HWND window_ = nullptr;
    HWND statusBar_ = nullptr;
};

// Whether the lines of `panel` lie one below the other inside the client area, above the status
// bar, each at least as tall as its text needs in its own font.
::testing::AssertionResult PanelFits(const PanelMeasure& panel);
