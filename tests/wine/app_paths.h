// Where the tests of the application find it and their hook: the build passes both paths,
// with the drive letter under which Wine shows the host's root.
#pragma once

constexpr wchar_t kQuorvaneExe[] = QUORVANE_EXE;
constexpr wchar_t kStatusHookDll[] = QUORVANE_STATUS_HOOK_DLL;
