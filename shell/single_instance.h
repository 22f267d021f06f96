// One Quorvane per session: two would both forward every code a client posts. The first copy
// holds a named mutex in the session's namespace for its whole life; Windows lets it go when
// the process ends, however it ends.
#pragma once

#include "platform/win32.h"
#include "shell/windows_calls.h"

// True for the first copy, which keeps the mutex; false when another copy holds it.
bool ClaimSingleInstance();

// The turned-away copy's way out, through the shell's table: finds the first copy's window by
// its class, asks Windows to restore it (or show it) and to bring it to the front, and logs what
// it found and what each request came to. Nothing here waits on the first copy, which may be in its
// two seconds of LOADING or hung in an exchange: ShowWindowAsync posts the restore, and
// SetForegroundWindow sends nothing to it.
void BringFirstCopyForward(const WindowsCalls& windows, const wchar_t* className);
