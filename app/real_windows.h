// The shell's table of Windows calls, filled with the real ones.
#pragma once

#include "shell/windows_calls.h"

extern const WindowsCalls kRealWindows;
