// The fake's shared state: one world per test process, reset by fake::Reset.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fake_win32/fake_win32.h"

namespace fake::detail {

constexpr DWORD kErrorInvalidParameter = 87;
constexpr DWORD kErrorMappedAlignment = 1132;
constexpr DWORD kErrorInvalidWindowHandle = 1400;

struct Window {
    HWND handle;
    std::string className;
    bool iconic;
    int shownWith;  // the last ShowWindowAsync command
};

struct RegisteredName {
    std::string name;
    UINT id;
};

struct Atom {
    std::string name;
    unsigned references;
};

struct Block {
    std::string name;  // empty for an unnamed mapping
    std::size_t size;
    std::unique_ptr<std::uint8_t[]> bytes;
    unsigned handles;         // open handles of this process
    unsigned views;           // mapped views of this process
    bool heldByOtherProcess;  // created through CreateBlockAsOtherProcess
};

struct MappingHandle {
    unsigned blockId;
    DWORD access;  // FILE_MAP_* rights the handle carries
};

struct View {
    const std::uint8_t* address;
    unsigned blockId;
};

struct RegistryEntry {
    DWORD type;
    std::string bytes;
};

// What a file, key or mutex handle stands for: a path, a key or a name.
struct OtherHandle {
    enum class Kind : std::uint8_t { File, Key, Mutex } kind;
    std::wstring name;
    DWORD access;  // a file's rights
};

struct ScriptedFailure {
    unsigned remaining;
    DWORD lastError;
};

constexpr std::size_t kCallCount = static_cast<std::size_t>(Call::Count);

struct World {
    DWORD processId = kDefaultProcessId;
    DWORD lastError = 0;
    std::uint64_t now = 0;  // virtual milliseconds
    std::array<unsigned, kCallCount> calls{};
    std::array<ScriptedFailure, kCallCount> failures{};

    std::vector<Window> windows;
    std::uintptr_t nextWindow = 0x10010;
    HWND foreground = nullptr;
    std::vector<RegisteredName> messages;
    UINT nextMessage = 0xC000;
    std::map<ATOM, Atom> atoms;

    std::map<unsigned, Block> blocks;
    unsigned nextBlock = 1;
    std::map<std::uintptr_t, MappingHandle> handles;
    std::uintptr_t nextHandle = 0x104;
    std::vector<View> views;
    DWORD lastOpenAccess = 0;
    DWORD lastMapAccess = 0;

    std::map<std::wstring, std::wstring> environment;
    std::vector<std::wstring> folders;
    std::map<std::wstring, std::string> files;
    std::map<std::wstring, std::map<std::wstring, RegistryEntry>> registry;  // key → values
    std::map<std::wstring, unsigned> mutexes;  // name → handles, +1 held by another process
    std::map<std::uintptr_t, OtherHandle> otherHandles;
    SYSTEMTIME localTime{2026, 12, 3, 9, 22, 31, 5, 123};
};

// Closes a file, key or mutex handle; false for any other handle.
bool CloseOtherHandle(HANDLE handle);

World& TheWorld();

// Counts a call of the core; true when a scripted failure takes this call, which then leaves
// the scripted last error and must return its failure value at once.
bool EnterCall(Call call);

bool EqualsIgnoringCase(std::string_view a, std::string_view b);
bool WindowIsLive(HWND window);
Window* FindLiveWindow(HWND window);

// Frees a block that no handle, view or other process holds any more.
void ReleaseBlockIfUnused(unsigned blockId);

void ResetModule();

}  // namespace fake::detail
