// The world as a whole: reset, call counters, scripted failures, process id, last error, clock
// and the formatting call.
#include "tests/fake_win32/world.h"

#include <cstdarg>
#include <cstdio>

namespace fake {
namespace detail {

World& TheWorld() {
    static World world;
    return world;
}

bool EnterCall(Call call) {
    World& world = TheWorld();
    const auto index = static_cast<std::size_t>(call);
    ++world.calls[index];
    ScriptedFailure& failure = world.failures[index];
    if (failure.remaining == 0) return false;
    --failure.remaining;
    world.lastError = failure.lastError;
    return true;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace detail

void Reset() {
    detail::TheWorld() = detail::World{};
    detail::ResetModule();
}

void SetProcessId(DWORD processId) {
    detail::TheWorld().processId = processId;
}

unsigned CallCount(Call call) {
    return detail::TheWorld().calls[static_cast<std::size_t>(call)];
}

void FailNext(Call call, unsigned times, DWORD lastError) {
    switch (call) {
        case Call::GetCurrentProcessId:
        case Call::GetLastError:
        case Call::SetLastError:
        case Call::Sleep:
        case Call::wsprintfA:
        case Call::Count:
            return;  // calls that cannot fail on Windows either
        default:
            break;
    }
    detail::TheWorld().failures[static_cast<std::size_t>(call)] = {times, lastError};
}

std::uint64_t Now() {
    return detail::TheWorld().now;
}

}  // namespace fake

using fake::Call;
using fake::detail::EnterCall;
using fake::detail::TheWorld;

DWORD WINAPI GetCurrentProcessId() {
    EnterCall(Call::GetCurrentProcessId);
    return TheWorld().processId;
}

DWORD WINAPI GetLastError() {
    EnterCall(Call::GetLastError);
    return TheWorld().lastError;
}

void WINAPI SetLastError(DWORD error) {
    EnterCall(Call::SetLastError);
    TheWorld().lastError = error;
}

// Leaves the last error at 0, as a Windows may: a caller must read it before sleeping.
void WINAPI Sleep(DWORD milliseconds) {
    EnterCall(Call::Sleep);
    TheWorld().now += milliseconds;
    TheWorld().lastError = 0;
}

// The real call writes at most 1024 bytes, whatever the buffer; callers size it accordingly.
int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    constexpr std::size_t kWsprintfLimit = 1024;
    EnterCall(Call::wsprintfA);
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vsnprintf(buffer, kWsprintfLimit, format, arguments);
    va_end(arguments);
    if (written < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return written < static_cast<int>(kWsprintfLimit) ? written
                                                      : static_cast<int>(kWsprintfLimit) - 1;
}
