// The environment, folders and files, the current user's registry and named mutexes: what the
// log, the kept option and the one-copy rule reach. Files are byte strings by full path.
#include <algorithm>

#include "tests/fake_win32/world.h"

namespace fake {
namespace detail {
namespace {

std::wstring ParentOf(std::wstring_view path) {
    const std::size_t slash = path.rfind(L'\\');
    return std::wstring(path.substr(0, slash == std::wstring_view::npos ? 0 : slash));
}

HANDLE NewOtherHandle(OtherHandle::Kind kind, std::wstring_view name, DWORD access = 0) {
    World& world = TheWorld();
    const std::uintptr_t value = world.nextHandle;
    world.nextHandle += 4;
    world.otherHandles[value] = {kind, std::wstring(name), access};
    return reinterpret_cast<HANDLE>(value);
}

const OtherHandle* FindOther(const void* handle, OtherHandle::Kind kind) {
    const auto& handles = TheWorld().otherHandles;
    const auto found = handles.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == handles.end() || found->second.kind != kind ? nullptr : &found->second;
}

// The registry's functions give their error as the result, not as the last error.
LSTATUS ScriptedStatus() {
    const DWORD error = TheWorld().lastError;
    return static_cast<LSTATUS>(error != 0 ? error : ERROR_ACCESS_DENIED);
}

}  // namespace

bool CloseOtherHandle(HANDLE handle) {
    World& world = TheWorld();
    const auto found = world.otherHandles.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == world.otherHandles.end() || found->second.kind == OtherHandle::Kind::Key) {
        return false;
    }
    if (found->second.kind == OtherHandle::Kind::Mutex) {
        const auto mutex = world.mutexes.find(found->second.name);
        if (--mutex->second == 0) world.mutexes.erase(mutex);
    }
    world.otherHandles.erase(found);
    return true;
}

}  // namespace detail

using detail::TheWorld;

void SetEnvironment(std::wstring_view name, std::wstring_view value) {
    TheWorld().environment[std::wstring(name)] = value;
}

void AddFolder(std::wstring_view path) {
    if (!FolderExists(path)) TheWorld().folders.emplace_back(path);
}

bool FolderExists(std::wstring_view path) {
    const auto& folders = TheWorld().folders;
    return std::find(folders.begin(), folders.end(), path) != folders.end();
}

void SetFile(std::wstring_view path, std::string_view bytes) {
    TheWorld().files[std::wstring(path)] = bytes;
}

bool FileExists(std::wstring_view path) {
    return TheWorld().files.count(std::wstring(path)) != 0;
}

std::string FileBytes(std::wstring_view path) {
    const auto& files = TheWorld().files;
    const auto found = files.find(std::wstring(path));
    return found == files.end() ? std::string() : found->second;
}

void SetRegistryValue(std::wstring_view key, std::wstring_view name, DWORD type,
                      std::string_view bytes) {
    TheWorld().registry[std::wstring(key)][std::wstring(name)] = {type, std::string(bytes)};
}

bool RegistryValue(std::wstring_view key, std::wstring_view name, DWORD& type, std::string& bytes) {
    const auto& registry = TheWorld().registry;
    const auto values = registry.find(std::wstring(key));
    if (values == registry.end()) return false;
    const auto value = values->second.find(std::wstring(name));
    if (value == values->second.end()) return false;
    type = value->second.type;
    bytes = value->second.bytes;
    return true;
}

void HoldMutexAsOtherProcess(std::wstring_view name) {
    ++TheWorld().mutexes[std::wstring(name)];
}

bool MutexExists(std::wstring_view name) {
    return TheWorld().mutexes.count(std::wstring(name)) != 0;
}

unsigned LiveOtherHandleCount() {
    return static_cast<unsigned>(TheWorld().otherHandles.size());
}

void SetLocalTime(const SYSTEMTIME& time) {
    TheWorld().localTime = time;
}

}  // namespace fake

using fake::Call;
using fake::detail::EnterCall;
using fake::detail::OtherHandle;
using fake::detail::TheWorld;

LSTATUS WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
    if (EnterCall(Call::RegOpenKeyExW)) return fake::detail::ScriptedStatus();
    if (key != HKEY_CURRENT_USER || TheWorld().registry.count(subKey) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    *result = static_cast<HKEY>(fake::detail::NewOtherHandle(OtherHandle::Kind::Key, subKey));
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM,
                               LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD) {
    if (EnterCall(Call::RegCreateKeyExW)) return fake::detail::ScriptedStatus();
    if (key != HKEY_CURRENT_USER) return ERROR_ACCESS_DENIED;
    TheWorld().registry[subKey];
    *result = static_cast<HKEY>(fake::detail::NewOtherHandle(OtherHandle::Kind::Key, subKey));
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD, LPDWORD type, LPBYTE data,
                                LPDWORD size) {
    if (EnterCall(Call::RegQueryValueExW)) return fake::detail::ScriptedStatus();
    const OtherHandle* handle = fake::detail::FindOther(key, OtherHandle::Kind::Key);
    if (handle == nullptr) return ERROR_INVALID_HANDLE;
    DWORD valueType = 0;
    std::string bytes;
    if (!fake::RegistryValue(handle->name, name, valueType, bytes)) return ERROR_FILE_NOT_FOUND;
    constexpr LSTATUS kMoreData = 234;
    const bool fits = bytes.size() <= *size;
    if (type != nullptr) *type = valueType;
    if (fits && data != nullptr) std::copy(bytes.begin(), bytes.end(), data);
    *size = static_cast<DWORD>(bytes.size());
    return fits ? ERROR_SUCCESS : kMoreData;
}

LSTATUS WINAPI RegSetValueExW(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data,
                              DWORD size) {
    if (EnterCall(Call::RegSetValueExW)) return fake::detail::ScriptedStatus();
    const OtherHandle* handle = fake::detail::FindOther(key, OtherHandle::Kind::Key);
    if (handle == nullptr) return ERROR_INVALID_HANDLE;
    fake::SetRegistryValue(handle->name, name, type,
                           std::string_view(reinterpret_cast<const char*>(data), size));
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY key) {
    auto& handles = TheWorld().otherHandles;
    return handles.erase(reinterpret_cast<std::uintptr_t>(key)) != 0 ? ERROR_SUCCESS
                                                                     : ERROR_INVALID_HANDLE;
}

DWORD WINAPI ExpandEnvironmentStringsW(LPCWSTR source, LPWSTR destination, DWORD size) {
    if (EnterCall(Call::ExpandEnvironmentStringsW)) return 0;
    std::wstring expanded;
    for (std::wstring_view rest = source; !rest.empty();) {
        const std::size_t open = rest.find(L'%');
        const std::size_t close =
            open == std::wstring_view::npos ? open : rest.find(L'%', open + 1);
        if (close == std::wstring_view::npos) {
            expanded += rest;
            break;
        }
        const auto& environment = TheWorld().environment;
        const auto value = environment.find(std::wstring(rest.substr(open + 1, close - open - 1)));
        expanded += rest.substr(0, open);
        expanded += value == environment.end() ? rest.substr(open, close - open + 1)
                                               : std::wstring_view(value->second);
        rest.remove_prefix(close + 1);
    }
    const auto needed = static_cast<DWORD>(expanded.size() + 1);
    if (needed <= size) std::copy(expanded.c_str(), expanded.c_str() + needed, destination);
    return needed;
}

BOOL WINAPI CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
    if (EnterCall(Call::CreateDirectoryW)) return 0;
    if (fake::FolderExists(path) || fake::FileExists(path)) {
        TheWorld().lastError = ERROR_ALREADY_EXISTS;
        return 0;
    }
    const std::wstring parent = fake::detail::ParentOf(path);
    if (!parent.empty() && !fake::FolderExists(parent)) {
        TheWorld().lastError = ERROR_PATH_NOT_FOUND;
        return 0;
    }
    fake::AddFolder(path);
    return 1;
}

// Only opening to append, creating when missing, is modelled; the handle may also read the
// file's attributes.
HANDLE WINAPI CreateFileW(LPCWSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD disposition, DWORD, HANDLE) {
    if (EnterCall(Call::CreateFileW)) return INVALID_HANDLE_VALUE;
    if ((access & ~FILE_READ_ATTRIBUTES) != FILE_APPEND_DATA || disposition != OPEN_ALWAYS) {
        TheWorld().lastError = fake::detail::kErrorInvalidParameter;
        return INVALID_HANDLE_VALUE;
    }
    if (!fake::FolderExists(fake::detail::ParentOf(path))) {
        TheWorld().lastError = ERROR_PATH_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    TheWorld().files[path];
    return fake::detail::NewOtherHandle(OtherHandle::Kind::File, path, access);
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, void*) {
    *written = 0;
    if (EnterCall(Call::WriteFile)) return 0;
    const OtherHandle* handle = fake::detail::FindOther(file, OtherHandle::Kind::File);
    if (handle == nullptr) {
        TheWorld().lastError = ERROR_INVALID_HANDLE;
        return 0;
    }
    // A file deleted or moved while open is written to where it went: not modelled.
    TheWorld().files[handle->name].append(static_cast<const char*>(data), size);
    *written = size;
    return 1;
}

// Needs FILE_READ_ATTRIBUTES, as Windows documents; some file systems refuse it without.
BOOL WINAPI GetFileSizeEx(HANDLE file, PLARGE_INTEGER size) {
    if (EnterCall(Call::GetFileSizeEx)) return 0;
    const OtherHandle* handle = fake::detail::FindOther(file, OtherHandle::Kind::File);
    if (handle == nullptr) {
        TheWorld().lastError = ERROR_INVALID_HANDLE;
        return 0;
    }
    if ((handle->access & FILE_READ_ATTRIBUTES) == 0) {
        TheWorld().lastError = ERROR_ACCESS_DENIED;
        return 0;
    }
    size->QuadPart = static_cast<LONGLONG>(fake::FileBytes(handle->name).size());
    return 1;
}

BOOL WINAPI MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if (EnterCall(Call::MoveFileExW)) return 0;
    auto& files = TheWorld().files;
    const auto source = files.find(from);
    if (source == files.end()) {
        TheWorld().lastError = ERROR_FILE_NOT_FOUND;
        return 0;
    }
    if (files.count(to) != 0 && (flags & MOVEFILE_REPLACE_EXISTING) == 0) {
        TheWorld().lastError = ERROR_ALREADY_EXISTS;
        return 0;
    }
    std::string bytes = std::move(source->second);
    files.erase(source);
    files[to] = std::move(bytes);
    return 1;
}

HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL, LPCWSTR name) {
    if (EnterCall(Call::CreateMutexW)) return nullptr;
    unsigned& handles = TheWorld().mutexes[name];
    TheWorld().lastError = handles == 0 ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS;
    ++handles;
    return fake::detail::NewOtherHandle(OtherHandle::Kind::Mutex, name);
}

void WINAPI GetLocalTime(LPSYSTEMTIME time) {
    *time = TheWorld().localTime;
}
