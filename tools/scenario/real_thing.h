// Whether the real simulator module or the real add-on runs already. The kit never starts
// beside either: a panel would read the kit's values as the aircraft's, or the aircraft's as
// the kit's, and clients would find one module window or the other by chance.
#pragma once

#include "platform/win32.h"

// The class of a module window that exists ("UIPCMAIN" or "FS98MAIN") other than `own`, or null.
// A running kit module asks again now and then: a simulator started after it gets the field.
const char* RunningModuleClass(HWND own = nullptr);

// Whether the add-on's state mapping exists. Only "no such object" counts as absent: a mapping
// that an elevated add-on holds is refused to us (access denied) and still exists.
bool AddonStateMappingExists();
