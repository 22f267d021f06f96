#include "shell/settings.h"

#include "platform/win32.h"

namespace {

constexpr wchar_t kKey[] = L"Software\\Quorvane";
constexpr wchar_t kValue[] = L"ReconnectAutomatically";

}  // namespace

bool ReadReconnectAutomatically() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    const LSTATUS read =
        RegQueryValueExW(key, kValue, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value && value == 1;
}

bool WriteReconnectAutomatically(bool on) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD value = on ? 1 : 0;
    const LSTATUS written = RegSetValueExW(key, kValue, 0, REG_DWORD,
                                           reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    return written == ERROR_SUCCESS;
}
