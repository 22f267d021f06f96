#include "tools/monitor/live_screen.h"

#include <cstdio>

namespace {

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

bool IsQuitKey(const INPUT_RECORD& record) {
    if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) return false;
    const char c = record.Event.KeyEvent.uChar.AsciiChar;
    return c == 'q' || c == 'Q' || record.Event.KeyEvent.wVirtualKeyCode == VK_ESCAPE;
}

}  // namespace

std::size_t ConsoleColumns() {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!IsConsole(output) || !GetConsoleScreenBufferInfo(output, &info)) return kAnyColumns;
    return static_cast<std::size_t>(info.dwSize.X);
}

LiveScreen OpenLiveScreen() {
    LiveScreen screen{};
    screen.output = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    screen.console = IsConsole(screen.output) && GetConsoleScreenBufferInfo(screen.output, &info);
    if (!screen.console) return screen;

    // The window's top row, blanked: what the console showed before scrolls out of the way only
    // where the buffer is taller than the window.
    screen.origin = {0, info.srWindow.Top};
    screen.width = info.dwSize.X;
    const DWORD cells = static_cast<DWORD>(info.dwSize.X) *
                        static_cast<DWORD>(info.srWindow.Bottom - info.srWindow.Top + 1);
    DWORD done = 0;
    FillConsoleOutputCharacterA(screen.output, ' ', cells, screen.origin, &done);
    FillConsoleOutputAttribute(screen.output, info.wAttributes, cells, screen.origin, &done);

    GetConsoleCursorInfo(screen.output, &screen.cursor);
    CONSOLE_CURSOR_INFO hidden = screen.cursor;
    hidden.bVisible = FALSE;
    SetConsoleCursorInfo(screen.output, &hidden);
    return screen;
}

void DrawFrame(LiveScreen& screen, const std::string& frame) {
    if (!screen.console) {
        std::fputs("\n", stdout);
        std::fputs(frame.c_str(), stdout);
        std::fflush(stdout);
        return;
    }
    // Line by line at fixed rows, each padded with blanks to cover what the last frame had
    // there. Written to the cells without moving the cursor: the window does not scroll to rows
    // below it (a narrow console's view is taller), and nothing wraps.
    const std::size_t width = static_cast<std::size_t>(screen.width);
    SHORT row = 0;
    for (std::size_t start = 0; start < frame.size(); ++row) {
        std::size_t end = frame.find('\n', start);
        if (end == std::string::npos) end = frame.size();
        std::string line = frame.substr(start, end - start);
        line.resize(width, ' ');
        const COORD at = {0, static_cast<SHORT>(screen.origin.Y + row)};
        DWORD written = 0;
        WriteConsoleOutputCharacterA(screen.output, line.data(), static_cast<DWORD>(line.size()),
                                     at, &written);
        start = end + 1;
    }
    screen.linesDrawn = row;
}

void CloseLiveScreen(LiveScreen& screen) {
    if (!screen.console) return;
    SetConsoleCursorPosition(screen.output,
                             {0, static_cast<SHORT>(screen.origin.Y + screen.linesDrawn)});
    SetConsoleCursorInfo(screen.output, &screen.cursor);
    screen.console = false;
}

bool WaitUnlessQuitKey(DWORD ms, HANDLE endRequested) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (!IsConsole(input)) return WaitForSingleObject(endRequested, ms) == WAIT_OBJECT_0;
    // The input handle is signalled by any event (a key, the mouse, focus); each is read and
    // only a quit key ends the wait early.
    const HANDLE events[] = {input, endRequested};
    const ULONGLONG deadline = GetTickCount64() + ms;
    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
        const DWORD woken =
            WaitForMultipleObjects(2, events, FALSE, static_cast<DWORD>(deadline - now));
        if (woken == WAIT_OBJECT_0 + 1) return true;
        if (woken != WAIT_OBJECT_0) break;
        INPUT_RECORD records[16];
        DWORD count = 0;
        if (!ReadConsoleInputA(input, records, 16, &count)) break;
        for (DWORD i = 0; i < count; ++i) {
            if (IsQuitKey(records[i])) return true;
        }
    }
    return false;
}
