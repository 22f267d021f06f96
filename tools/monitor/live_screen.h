// Where the live view draws its readings. On a console each reading is drawn over the one
// before, from the top of the window, so values stay in place while they change; to a file or
// a pipe the readings are printed one after another, each after a blank line, for a program or
// a person to read back.
#pragma once

#include <cstddef>
#include <string>

#include "platform/win32.h"
#include "tools/monitor/block_view.h"

struct LiveScreen {
    HANDLE output;               // standard output
    bool console;                // output is a console: draw in place
    COORD origin;                // console cell of the frame's first line
    SHORT width;                 // console columns; lines are padded to it
    SHORT linesDrawn;            // by the last frame, so the cursor can be left below it
    CONSOLE_CURSOR_INFO cursor;  // as it was, restored by CloseLiveScreen
};

// The width of the console that standard output is, in columns; kAnyColumns when it is none.
std::size_t ConsoleColumns();

// Clears the console window and hides the cursor; nothing when output is not a console.
LiveScreen OpenLiveScreen();

// A frame of lines, each ended by "\n".
void DrawFrame(LiveScreen& screen, const std::string& frame);

// Leaves the cursor, shown again, below the last frame; once, however often it is called.
void CloseLiveScreen(LiveScreen& screen);

// Waits `ms` milliseconds, or less when q, Q or Esc is pressed on a console or `endRequested` is
// set: true then.
bool WaitUnlessQuitKey(DWORD ms, HANDLE endRequested);
