#include "tools/scenario/real_thing.h"

#include <initializer_list>

#include "platform/win32.h"
#include "sdk/sdk.h"
#include "simlink/simlink.h"

namespace {

constexpr BOOL kNotInheritable = 0;

}  // namespace

const char* RunningModuleClass(HWND own) {
    for (const char* windowClass : kModuleWindowClasses) {
        HWND found = FindWindowExA(nullptr, nullptr, windowClass, nullptr);
        if (found == own && found != nullptr)
            found = FindWindowExA(nullptr, own, windowClass, nullptr);
        if (found != nullptr) return windowClass;
    }
    return nullptr;
}

bool AddonStateMappingExists() {
    const HANDLE existing = OpenFileMappingW(FILE_MAP_READ, kNotInheritable, kStateMappingName);
    if (existing == nullptr) return GetLastError() != ERROR_FILE_NOT_FOUND;
    CloseHandle(existing);
    return true;
}
