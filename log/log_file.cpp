#include "log/log_file.h"

#include <cstdarg>
#include <cwchar>

#include "log/log_line.h"

namespace {

constexpr wchar_t kFolder[] = L"%LOCALAPPDATA%\\Quorvane";
constexpr wchar_t kLogName[] = L"\\Quorvane.log";
constexpr wchar_t kOlderLogName[] = L"\\Quorvane.log.1";

bool g_rotates;  // this copy may move a full log aside

bool JoinPath(wchar_t (&path)[kLogPathLength], const wchar_t* folder, const wchar_t* name) {
    const int length = std::swprintf(path, kLogPathLength, L"%ls%ls", folder, name);
    return length > 0 && static_cast<std::size_t>(length) < kLogPathLength;
}

// Opened to append, shared with readers, other copies and whoever moves or deletes it. Reading
// the size needs the right to read attributes, which appending alone does not carry.
HANDLE OpenLog(const wchar_t* path) {
    return CreateFileW(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The open log, moved aside first when this line would take it past the limit. A move that
// fails (another program holds the older log) leaves the log to grow until a later line.
HANDLE OpenLogWithRoomFor(const wchar_t* folder, std::size_t length) {
    wchar_t path[kLogPathLength];
    if (!JoinPath(path, folder, kLogName)) return INVALID_HANDLE_VALUE;
    HANDLE log = OpenLog(path);
    if (log == INVALID_HANDLE_VALUE || !g_rotates) return log;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(log, &size) ||
        !LogNeedsRotation(static_cast<std::uint64_t>(size.QuadPart), length)) {
        return log;
    }
    wchar_t older[kLogPathLength];
    if (!JoinPath(older, folder, kOlderLogName)) return log;
    CloseHandle(log);
    MoveFileExW(path, older, MOVEFILE_REPLACE_EXISTING);
    return OpenLog(path);
}

}  // namespace

void SetLogRotation(bool rotates) {
    g_rotates = rotates;
}

bool LogFolderPath(wchar_t (&folder)[kLogPathLength]) {
    const DWORD needed = ExpandEnvironmentStringsW(kFolder, folder, kLogPathLength);
    // An unset variable stays as it was written, percent signs and all.
    return needed != 0 && needed <= kLogPathLength && folder[0] != L'%';
}

bool AppendToLog(const char* line, std::size_t length) {
    wchar_t folder[kLogPathLength];
    if (!LogFolderPath(folder)) return false;
    if (!CreateDirectoryW(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    HANDLE log = OpenLogWithRoomFor(folder, length);
    if (log == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool wrote =
        WriteFile(log, line, static_cast<DWORD>(length), &written, nullptr) && written == length;
    CloseHandle(log);
    return wrote;
}

void LogEvent(const char* format, ...) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char line[kLogLineLength];
    std::va_list arguments;
    va_start(arguments, format);
    const std::size_t length = FormatLogLine(line, now, format, arguments);
    va_end(arguments);
    AppendToLog(line, length);
}
