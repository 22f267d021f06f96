// One Quorvane per session: two would both forward every code a client posts. The first copy
// holds a named mutex in the session's namespace for its whole life; Windows lets it go when
// the process ends, however it ends.
#pragma once

// True for the first copy, which keeps the mutex; false when another copy holds it.
bool ClaimSingleInstance();
