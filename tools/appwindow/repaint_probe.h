// How soon a window of another process paints what was laid bare: the measure that tells a
// window thread kept busy by its own messages (a modal loop fed tick after tick) from one that
// gets to its input and paint.
#pragma once

#include "platform/win32.h"

// Invalidates the whole of `window`, as a window dragged across it would, and waits until its
// thread has painted it (GetUpdateRect finds nothing left). The milliseconds that took, or a
// negative number when something was still unpainted after `giveUpMs`.
double RepaintMs(HWND window, DWORD giveUpMs);
