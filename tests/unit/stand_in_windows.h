// A stand-in for the shell's table of Windows calls: a Windows whose answers a test sets, and
// which notes what the shell asked of it. Its window calls are the fake world's, so that a test
// scripts a first copy's window as it scripts the module's. The clock starts at once and ticks
// at every wait; the tests of the clock itself have their own stand-in.
#pragma once

#include <string>
#include <vector>

#include "shell/windows_calls.h"

namespace stand_in {

struct Answers {
    UINT systemDpi = 96;  // GetDpiForSystem; 0: Windows lacks it
    UINT windowDpi = 96;  // GetDpiForWindow; 0: Windows lacks it
    UINT screenDpi = 96;
    bool fontForDpi = true;       // SystemParametersInfoForDpi is there and answers
    bool systemFont = true;       // SystemParametersInfoW answers
    LONG systemFontHeight = -12;  // its message font's height at the system DPI
    bool frameForDpi = true;      // AdjustWindowRectExForDpi is there and answers
    bool version = true;          // RtlGetVersion answers 10.0.19045
    bool com = true;              // CoInitializeEx succeeds
    bool folderOpens = true;      // ShellExecuteW gives more than 32
    bool clock = true;            // a clock can be started
    bool waitFails = false;  // MsgWaitForMultipleObjectsEx gives WAIT_FAILED
    bool taskbarList = true;      // ITaskbarList3 can be made
};

struct Record {
    int comBegun = 0, comEnded = 0, foldersOpened = 0;
    std::vector<std::wstring> warnings;
    std::vector<bool> flashes;  // each flash call: on or off
    int listsMade = 0, listsReleased = 0;
    std::vector<bool> marks;  // each mark call: NOT OK or none
};

extern Answers g_answers;
extern Record g_record;

// Answers and record back to their defaults.
void Reset();

}  // namespace stand_in

extern const WindowsCalls kStandInWindows;
