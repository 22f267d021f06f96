// Where the tests of the application find it and their hook: the build passes both paths as
// Windows paths (under Wine, on the drive that shows the host's root). QUORVANE_TEST_EXE in the
// environment names another Quorvane.exe to test in place of this tree's: the one clang built.
#pragma once

#include <windows.h>

#include <string>

// The variable's value, or `fallback` when it is not set.
inline std::wstring EnvironmentOr(const wchar_t* name, const wchar_t* fallback) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return fallback;
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

inline const std::wstring kQuorvaneExePath = EnvironmentOr(L"QUORVANE_TEST_EXE", QUORVANE_EXE);
inline const wchar_t* const kQuorvaneExe = kQuorvaneExePath.c_str();
constexpr wchar_t kStatusHookDll[] = QUORVANE_STATUS_HOOK_DLL;
