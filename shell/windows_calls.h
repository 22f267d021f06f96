// Every Windows call the shell makes, as one table, so that a native test can stand in for a
// Windows that refuses any of them or lacks an export: exactly the calls whose failures Wine
// never shows. The core reaches Windows through its link-time seam (platform/win32.h) instead;
// the two are the halves of one rule, that every call the program makes can be made to fail in a
// test. app/ fills the table with the real calls; each entry says what it stands for.
#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "shell/cycle_timer.h"

struct WindowsVersion {
    DWORD major;
    DWORD minor;
    DWORD build;
};

struct WindowsCalls {
    PaceSystem pace;  // the clock that paces the cycles

    // The performance counter (QueryPerformanceCounter) and its ticks a second
    // (QueryPerformanceFrequency): what the pace and the panel's rate are measured with.
    std::int64_t (*performanceCounter)();
    std::int64_t (*performanceFrequency)();
    // RtlGetVersion, Windows' own version (GetVersionEx gives what the manifest claims to know);
    // false where it cannot be had.
    bool (*windowsVersion)(WindowsVersion& version);

    // The display scale. Each call that Windows before 10 (1607) lacks gives 0 or false there.
    UINT (*dpiForSystem)();                               // GetDpiForSystem
    UINT (*dpiForWindow)(HWND window);                    // GetDpiForWindow
    UINT (*screenDpi)();                                  // the screen's LOGPIXELSY
    bool (*messageFontForDpi)(UINT dpi, LOGFONTW& font);  // SystemParametersInfoForDpi
    bool (*messageFontOfSystem)(LOGFONTW& font);          // SystemParametersInfoW
    // AdjustWindowRectExForDpi and AdjustWindowRectEx, for a window with a menu bar.
    bool (*frameForDpi)(RECT& rect, DWORD style, DWORD extendedStyle, UINT dpi);
    bool (*frameOfSystem)(RECT& rect, DWORD style, DWORD extendedStyle);

    // Help > Open Log Folder: COM on this thread, single-threaded (CoInitializeEx, true when it
    // is to be balanced by CoUninitialize), Explorer on the folder (ShellExecuteW "open", true
    // when it gave more than 32), and a warning when that failed (MessageBoxW).
    bool (*beginCom)();
    void (*endCom)();
    bool (*openFolder)(HWND owner, const wchar_t* folder);
    void (*warn)(HWND owner, const wchar_t* text);

    // The second copy's way to the first one's window: FindWindowW by class, IsIconic,
    // ShowWindowAsync and SetForegroundWindow. The last error is read through GetLastError.
    HWND (*findWindow)(const wchar_t* className);
    BOOL (*isIconic)(HWND window);
    BOOL (*showWindowAsync)(HWND window, int command);
    BOOL (*setForegroundWindow)(HWND window);

    // The taskbar button while the window is minimised: FlashWindowEx with FLASHW_TRAY |
    // FLASHW_TIMERNOFG (on) or FLASHW_STOP (off); and the overlay mark of ITaskbarList3, made
    // once Windows announced the button (CoCreateInstance and HrInit; null where refused or
    // before Windows 7), set with the NOT OK icon and "Status: NOT OK" or taken off, and let go.
    BOOL (*flashTaskbarButton)(HWND window, bool on);
    void* (*createTaskbarList)();
    bool (*markTaskbarButton)(void* taskbarList, HWND window, bool notOk);
    void (*releaseTaskbarList)(void* taskbarList);
};
