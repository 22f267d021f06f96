// CPU time of running processes, found by file name, over a window of wall time.
#include <cstring>

#include "bench/latency/latency.h"
// After <windows.h>, which it needs and does not include.
#include <tlhelp32.h>

namespace {

constexpr int kMaxWatched = 8;

struct Watched {
    const char* name;
    HANDLE process;
    std::uint64_t cpuAtStart;  // kernel + user, 100 ns units
};

std::uint64_t CpuTime(HANDLE process) {
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(process, &creation, &exit, &kernel, &user)) return 0;
    auto ticks = [](const FILETIME& time) {
        return static_cast<std::uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
    };
    return ticks(kernel) + ticks(user);
}

// Every running process whose file name is one of `names`, opened for querying.
int FindProcesses(char** names, int nameCount, Watched* found) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more && count < kMaxWatched;
         more = Process32Next(snapshot, &entry)) {
        for (int n = 0; n < nameCount; ++n) {
            if (_stricmp(entry.szExeFile, names[n]) != 0) continue;
            const HANDLE process =
                OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
            if (process != nullptr) found[count++] = {names[n], process, 0};
        }
    }
    CloseHandle(snapshot);
    return count;
}

}  // namespace

bool MeasureProcessCpu(std::uint32_t seconds, char** names, int nameCount) {
    Watched watched[kMaxWatched];
    const int count = FindProcesses(names, nameCount, watched);
    if (count == 0) {
        Report("cpu: none of the named processes runs\n");
        return false;
    }
    for (int i = 0; i < count; ++i) watched[i].cpuAtStart = CpuTime(watched[i].process);
    const double start = NowMicroseconds();
    Sleep(seconds * 1000);
    const double wallTicks = (NowMicroseconds() - start) * 10.0;
    for (int i = 0; i < count; ++i) {
        const std::uint64_t used = CpuTime(watched[i].process) - watched[i].cpuAtStart;
        Report("cpu name=%s seconds=%u percent_of_core=%.3f\n", watched[i].name, seconds,
               100.0 * static_cast<double>(used) / wallTicks);
        CloseHandle(watched[i].process);
    }
    return true;
}
