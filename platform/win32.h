// The one door through which simlink and sdk reach the operating system.
//
// On Windows this is <windows.h> itself. Elsewhere it declares, under the same names and with
// the same signatures, only the calls the core makes and the types the shell's table of Windows
// calls passes; their definitions come from the in-process fake under tests/fake_win32, so every
// branch of the core can be driven natively.
#pragma once

#ifdef _WIN32

// NOMINMAX and WIN32_LEAN_AND_MEAN come from the build, for every Windows source alike.
#include <windows.h>

#else

#include <cstdint>

#define WINAPI

// Integer widths are those of 64-bit Windows, not of the host: DWORD and LONG stay 32 bits.
using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using ATOM = WORD;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using DWORD_PTR = std::uintptr_t;
using PDWORD_PTR = DWORD_PTR*;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using HANDLE = void*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPSTR = char*;
using LPCSTR = const char*;
using WCHAR = wchar_t;
using LPCWSTR = const WCHAR*;
using SIZE_T = std::size_t;
using LPDWORD = DWORD*;
using LPBYTE = BYTE*;
using LPWSTR = WCHAR*;
using REGSAM = DWORD;
using LSTATUS = LONG;
using LONGLONG = std::int64_t;

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;

union LARGE_INTEGER {
    LONGLONG QuadPart;
};
using PLARGE_INTEGER = LARGE_INTEGER*;

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;

struct HWND__;
using HWND = HWND__*;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[32];
};

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))
#define HKEY_CURRENT_USER \
    (reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(0x80000001))))

constexpr UINT WM_NULL = 0x0000;
constexpr UINT SMTO_BLOCK = 0x0001;
constexpr UINT SMTO_ABORTIFHUNG = 0x0002;
constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD FILE_MAP_WRITE = 0x0002;
constexpr DWORD FILE_MAP_READ = 0x0004;
constexpr DWORD FILE_MAP_ALL_ACCESS = 0x000F001F;
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_TIMEOUT = 1460;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD KEY_QUERY_VALUE = 0x0001;
constexpr DWORD KEY_SET_VALUE = 0x0002;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD FILE_APPEND_DATA = 0x0004;
constexpr DWORD FILE_READ_ATTRIBUTES = 0x0080;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr int SW_SHOW = 5;
constexpr int SW_RESTORE = 9;

HWND WINAPI FindWindowExA(HWND parent, HWND childAfter, LPCSTR className, LPCSTR windowName);
// The shell reaches these through its table; the fake's windows stand behind the tests' table.
HWND WINAPI FindWindowW(LPCWSTR className, LPCWSTR windowName);
BOOL WINAPI IsIconic(HWND window);
BOOL WINAPI ShowWindowAsync(HWND window, int command);
BOOL WINAPI SetForegroundWindow(HWND window);
UINT WINAPI RegisterWindowMessageA(LPCSTR name);
LRESULT WINAPI SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT flags, UINT timeoutMs, PDWORD_PTR result);
ATOM WINAPI GlobalAddAtomA(LPCSTR name);
ATOM WINAPI GlobalDeleteAtom(ATOM atom);
HANDLE WINAPI CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect,
                                 DWORD sizeHigh, DWORD sizeLow, LPCSTR name);
HANDLE WINAPI OpenFileMappingW(DWORD access, BOOL inheritHandle, LPCWSTR name);
LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow,
                            SIZE_T bytes);
BOOL WINAPI UnmapViewOfFile(LPCVOID view);
BOOL WINAPI CloseHandle(HANDLE handle);
DWORD WINAPI GetCurrentProcessId();
DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD error);
void WINAPI Sleep(DWORD milliseconds);
int wsprintfA(LPSTR buffer, LPCSTR format, ...);

LSTATUS WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LSTATUS WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass,
                               DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES attributes,
                               PHKEY result, LPDWORD disposition);
LSTATUS WINAPI RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD size);
LSTATUS WINAPI RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD size);
LSTATUS WINAPI RegCloseKey(HKEY key);
DWORD WINAPI ExpandEnvironmentStringsW(LPCWSTR source, LPWSTR destination, DWORD size);
BOOL WINAPI CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes);
HANDLE WINAPI CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES attributes,
                          DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL WINAPI WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, void* overlapped);
BOOL WINAPI GetFileSizeEx(HANDLE file, PLARGE_INTEGER size);
BOOL WINAPI MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags);
HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name);
void WINAPI GetLocalTime(LPSYSTEMTIME time);

#endif
