#include "tests/unit/stand_in_windows.h"

#include "tests/fake_win32/fake_win32.h"

namespace stand_in {

Answers g_answers;
Record g_record;

void Reset() {
    g_answers = {};
    g_record = {};
}

}  // namespace stand_in

namespace {

using stand_in::g_answers;
using stand_in::g_record;

HANDLE Handle() {
    static char handles;
    return &handles;
}

const PaceSystem kClock = {
    .findExport = [](const char*, const char*) -> void* { return nullptr; },
    .setTimer = [](HWND, UINT_PTR, UINT) -> UINT_PTR { return g_answers.clock; },
    .killTimer = [](HWND, UINT_PTR) -> BOOL { return 1; },
    .beginPeriod = [](UINT) -> UINT { return 0; },
    .endPeriod = [](UINT) -> UINT { return 0; },
    .currentProcess = nullptr,
    .createWaitableTimer = [](DWORD) -> HANDLE { return g_answers.clock ? Handle() : nullptr; },
    .setWaitableTimer = [](HANDLE, std::int64_t, LONG) -> BOOL { return 1; },
    .systemTime = []() -> std::int64_t {
        return 10'000LL * static_cast<std::int64_t>(fake::Now());
    },
    .waitForTickOrInput =
        [](HANDLE timer) {
            return g_answers.waitFails ? ClockWake::Failed
                   : timer != nullptr  ? ClockWake::Tick
                                       : ClockWake::Input;
        },
    .closeHandle = [](HANDLE) -> BOOL { return 1; },
};

}  // namespace

extern const WindowsCalls kStandInWindows = {
    .pace = kClock,
    // The fake's clock in milliseconds: a counter of 1000 ticks a second.
    .performanceCounter = []() -> std::int64_t { return static_cast<std::int64_t>(fake::Now()); },
    .performanceFrequency = []() -> std::int64_t { return 1000; },
    .windowsVersion =
        [](WindowsVersion& version) {
            if (g_answers.version) version = {10, 0, 19045};
            return g_answers.version;
        },
    .dpiForSystem = [] { return g_answers.systemDpi; },
    .dpiForWindow = [](HWND) { return g_answers.windowDpi; },
    .screenDpi = [] { return g_answers.screenDpi; },
    .messageFontForDpi =
        [](UINT dpi, LOGFONTW& font) {
            font = {};
            font.lfHeight = -static_cast<LONG>(dpi) / 8;
            return g_answers.fontForDpi;
        },
    .messageFontOfSystem =
        [](LOGFONTW& font) {
            font = {};
            font.lfHeight = g_answers.systemFontHeight;
            return g_answers.systemFont;
        },
    // A caption of 20 and a menu of 19 pixels, and a border of 1, at every DPI.
    .frameForDpi =
        [](RECT& rect, DWORD, DWORD, UINT) {
            if (g_answers.frameForDpi)
                rect = {rect.left - 1, rect.top - 40, rect.right + 1, rect.bottom + 1};
            return g_answers.frameForDpi;
        },
    .frameOfSystem =
        [](RECT& rect, DWORD, DWORD) {
            rect = {rect.left - 1, rect.top - 40, rect.right + 1, rect.bottom + 1};
            return true;
        },
    .beginCom = [] { return ++g_record.comBegun, g_answers.com; },
    .endCom = [] { ++g_record.comEnded; },
    .openFolder = [](HWND,
                     const wchar_t*) { return ++g_record.foldersOpened, g_answers.folderOpens; },
    .warn = [](HWND, const wchar_t* text) { g_record.warnings.emplace_back(text); },
    .findWindow = [](const wchar_t* className) { return FindWindowW(className, nullptr); },
    .isIconic = IsIconic,
    .showWindowAsync = ShowWindowAsync,
    .setForegroundWindow = SetForegroundWindow,
    .flashTaskbarButton = [](HWND, bool on) -> BOOL { return g_record.flashes.push_back(on), 1; },
    .createTaskbarList = []() -> void* {
        if (!g_answers.taskbarList) return nullptr;
        ++g_record.listsMade;
        return Handle();
    },
    .markTaskbarButton = [](void*, HWND,
                            bool notOk) { return g_record.marks.push_back(notOk), true; },
    .releaseTaskbarList = [](void*) { ++g_record.listsReleased; },
};
