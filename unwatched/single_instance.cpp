#include "unwatched/single_instance.h"

#include "platform/win32.h"

namespace {

constexpr wchar_t kMutexName[] = L"Local\\Quorvane";

}  // namespace

bool ClaimSingleInstance() {
    // Held until the process ends: the handle is never closed.
    const HANDLE mutex = CreateMutexW(nullptr, 0, kMutexName);
    const DWORD error = GetLastError();
    if (mutex == nullptr) {
        // Access denied: a copy with other rights (one run as administrator) made it. Any
        // other failure tells nothing about a first copy; running beats refusing to run.
        return error != ERROR_ACCESS_DENIED;
    }
    if (error != ERROR_ALREADY_EXISTS) return true;
    CloseHandle(mutex);
    return false;
}
