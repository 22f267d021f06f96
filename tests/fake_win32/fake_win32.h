// The in-process world behind platform/win32.h in the native build.
//
// Every Win32 call the core makes is defined by this fake: top-level windows by class,
// registered messages, global atoms, named mappings, a last-error value, a virtual clock and a
// scriptable simulator module that answers the exchange message on its own 64 KiB offset space.
// Tests set the world up through the functions below and read back what the core did to it.
//
// Typical use:
//
//     fake::Reset();
//     fake::StartModule();                        // "UIPCMAIN" answering "FsasmLib:IPC"
//     fake::FailNext(fake::Call::MapViewOfFile);  // the core's next MapViewOfFile gives null
//     ... run the code under test ...
//     EXPECT_EQ(fake::LiveViewCount(), 0u);
//
// Nothing reached from SendMessageTimeoutA, Sleep or GetLastError allocates, so a test may
// count heap allocations across poll cycles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/win32.h"
#include "simlink/request_queue.h"
#include "simlink/simlink.h"
#include "tools/exchange/module_space.h"

namespace fake {

// ---- The world as a whole ---------------------------------------------------------------------

// Empty world: no windows, messages, atoms, mappings, views or module; clock 0; last error 0;
// process id kDefaultProcessId; no failures scripted; all counters 0.
void Reset();

constexpr DWORD kDefaultProcessId = 0x1A2B;
void SetProcessId(DWORD processId);

// ---- Calls: counters and failure injection ----------------------------------------------------

enum class Call : std::uint8_t {
    FindWindowExA,
    RegisterWindowMessageA,
    SendMessageTimeoutA,
    GlobalAddAtomA,
    GlobalDeleteAtom,
    CreateFileMappingA,
    OpenFileMappingW,
    MapViewOfFile,
    UnmapViewOfFile,
    CloseHandle,
    GetCurrentProcessId,
    GetLastError,
    SetLastError,
    Sleep,
    wsprintfA,
    RegOpenKeyExW,
    RegCreateKeyExW,
    RegQueryValueExW,
    RegSetValueExW,
    ExpandEnvironmentStringsW,
    CreateDirectoryW,
    CreateFileW,
    WriteFile,
    GetFileSizeEx,
    MoveFileExW,
    CreateMutexW,
    FindWindowW,
    ShowWindowAsync,
    SetForegroundWindow,
    Count,
};

// How often the core called `call` since Reset (the fake's own work is not counted).
unsigned CallCount(Call call);

// The next `times` calls of `call` fail at once: they return 0 / null / FALSE, change nothing
// and leave `lastError` as the thread's last error. GetCurrentProcessId, GetLastError,
// SetLastError, Sleep and wsprintfA cannot fail: scripting them does nothing. A failed
// SendMessageTimeoutA does not advance the clock (a send refused outright); see TimeOutNextSends
// for one that waits.
void FailNext(Call call, unsigned times = 1, DWORD lastError = 0);

// ---- Virtual clock ----------------------------------------------------------------------------

// Milliseconds since Reset. Sleep advances it; a send that times out advances it by its timeout.
std::uint64_t Now();

// ---- Windows and registered messages ----------------------------------------------------------

// A top-level window of `className`; FindWindowExA(nullptr, nullptr, className, nullptr) finds
// the first one added (class names compare without regard to ASCII case, as Windows does).
HWND AddWindow(std::string_view className);
void RemoveWindow(HWND window);

// Minimised or not, as IsIconic tells; ShowWindowAsync with SW_RESTORE or SW_SHOW ends it.
void SetIconic(HWND window, bool iconic);
int LastShowCommand(HWND window);  // of ShowWindowAsync, 0 when none came
HWND ForegroundWindow();           // the last window SetForegroundWindow brought forward

// The id RegisterWindowMessageA gave `name`, or 0 if it was never registered. Ids start at
// 0xC000; the same name always gets the same id.
UINT RegisteredMessage(std::string_view name);

// ---- Global atoms -----------------------------------------------------------------------------

// The atom of `name`, or 0. Atoms start at 0xC000. GlobalAddAtomA of an existing name gives the
// same atom and counts a reference; GlobalDeleteAtom drops one.
ATOM FindAtom(std::string_view name);
std::string_view AtomName(ATOM atom);  // empty for an atom that is not live
unsigned AtomReferences(ATOM atom);    // 0 for an atom that is not live
unsigned LiveAtomCount();

// ---- Named mappings ---------------------------------------------------------------------------

// A block lives while a handle, a view or its other-process owner holds it.
unsigned LiveHandleCount();  // mapping handles the core holds open
unsigned LiveViewCount();    // views the core holds mapped
bool BlockExists(std::string_view name);

// A block name the product declares wide (the add-on's, in sdk/sdk.h), narrowed at compile time
// for the functions here: block names are ASCII.
template <std::size_t N>
struct NarrowName {
    char text[N];
    constexpr operator std::string_view() const { return {text, N - 1}; }
};
template <std::size_t N>
constexpr NarrowName<N> Narrow(const WCHAR (&wide)[N]) {
    NarrowName<N> name{};
    for (std::size_t i = 0; i < N; ++i) name.text[i] = static_cast<char>(wide[i]);
    return name;
}

// The bytes of the live block `name`, or an empty span.
std::span<std::uint8_t> BlockBytes(std::string_view name);

// Creates the named block as another process would (zero-filled), e.g. the add-on's state
// block, and holds it until ReleaseBlockOfOtherProcess. For a name in use it returns the
// existing block's bytes.
std::span<std::uint8_t> CreateBlockAsOtherProcess(std::string_view name, std::size_t size);
void ReleaseBlockOfOtherProcess(std::string_view name);

// The access asked for by the last OpenFileMappingW and the last MapViewOfFile call.
DWORD LastOpenAccess();
DWORD LastMapAccess();

// ---- The simulator module ---------------------------------------------------------------------

// Adds a window of `className` owned by the module, which answers the registered message
// "FsasmLib:IPC": it finds the mapping named by the atom in wParam, carries out its records on
// the module's space and answers 1. The space starts with the default handshake values.
// There is one module per world; a second call moves it to a new window.
HWND StartModule(std::string_view className = kModuleWindowClasses[0]);

// The module's offsets, handshake values and greeting, for setting up and checking.
exchange::ModuleSpace& ModuleSpace();
void SetModuleVersion(std::uint32_t version);     // value at 0x3304
void SetModuleSimulatorWord(std::uint32_t word);  // value at 0x3308

// The result the module hands back for a handled exchange; 1 by default.
void SetModuleAnswer(DWORD_PTR answer);

// The next `times` sends reach no answer within their timeout: each returns 0 with `lastError`
// (0 models systems that clear it; none, systems that leave whatever an earlier call set) after
// advancing the clock by the send's timeout.
void TimeOutNextSends(unsigned times, std::optional<DWORD> lastError = ERROR_TIMEOUT);

// Runs after the module has carried out the records and before the send returns, given the
// whole mapping; a test may corrupt the reply here. Set it outside the code under test: it is
// only called, never copied, during an exchange. An empty function removes it.
void SetAfterExchangeHook(std::function<void(std::span<std::uint8_t> buffer)> hook);

// Exchanges the module carried out (sends that reached it and found their buffer). Sends
// attempted, whatever became of them, are CallCount(Call::SendMessageTimeoutA).
unsigned ExchangesHandled();

// The arguments of the last SendMessageTimeoutA call, whatever became of it.
struct SendArguments {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    UINT flags;
    UINT timeoutMs;
};
const SendArguments& LastSend();

// ---- Environment, files, registry and mutexes ----------------------------------------------

// %name% expands to `value` in ExpandEnvironmentStringsW; unset names stay as written.
void SetEnvironment(std::wstring_view name, std::wstring_view value);

// Folders and files by full path (compared exactly). CreateFileW needs the file's folder.
void AddFolder(std::wstring_view path);
bool FolderExists(std::wstring_view path);
void SetFile(std::wstring_view path, std::string_view bytes);
bool FileExists(std::wstring_view path);
std::string FileBytes(std::wstring_view path);  // empty for no file

// Values under HKEY_CURRENT_USER: `key` is the subkey's path, e.g. L"Software\\Quorvane".
void SetRegistryValue(std::wstring_view key, std::wstring_view name, DWORD type,
                      std::string_view bytes);
bool RegistryValue(std::wstring_view key, std::wstring_view name, DWORD& type, std::string& bytes);

// A named mutex that another process created and holds.
void HoldMutexAsOtherProcess(std::wstring_view name);
bool MutexExists(std::wstring_view name);

// File, key and mutex handles the code holds open.
unsigned LiveOtherHandleCount();

// What GetLocalTime gives; 2026-12-09 22:31:05.123 after Reset.
void SetLocalTime(const SYSTEMTIME& time);

// ---- Log of exchanges -------------------------------------------------------------------------

constexpr std::size_t kLoggedDataBytes = 16;                   // data bytes kept per record
constexpr std::size_t kLoggedExchanges = 16;                   // the most recent exchanges kept
constexpr std::size_t kLoggedRecordsEach = kMaxQueuedRecords;  // every record of an exchange

struct LoggedRecord {
    exchange::RecordKind kind;
    std::uint32_t offset;
    std::uint32_t size;
    std::uint8_t data[kLoggedDataBytes];  // the first min(size, kLoggedDataBytes) bytes

    std::span<const std::uint8_t> Data() const;
};

// The records as the module carried them out in exchange `number` (1 for the first exchange
// handled since Reset); empty for an exchange not handled or no longer kept.
std::span<const LoggedRecord> ExchangeRecords(unsigned number);
std::span<const LoggedRecord> LastExchangeRecords();

}  // namespace fake
