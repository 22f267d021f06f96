#include "tests/wine/stand_in_fixture.h"

namespace {

::testing::AssertionResult StartReady(StandInProcess& process, const char* name,
                                      const std::string& arguments) {
    if (process.StartReady(name, arguments)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << name << " " << arguments << " did not get ready (error "
                                         << GetLastError() << "); it printed:\n"
                                         << process.Output();
}

}  // namespace

::testing::AssertionResult StandInTest::StartModule(const std::string& arguments) {
    ::testing::AssertionResult started = StartReady(module_, "kit-module", arguments);
    if (!started) return started;
    if (!OpenOffsetsView(offsets_)) {
        return ::testing::AssertionFailure() << "the module's offsets mapping cannot be opened";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult StandInTest::StartAddon(const std::string& arguments) {
    return StartReady(addon_, "kit-addon", arguments);
}

void StandInTest::TearDown() {
    CloseOffsetsView(offsets_);
    module_.Stop();
    addon_.Stop();
}

std::uint32_t StandInTest::ModuleOffset32(std::uint32_t offset) const {
    std::uint32_t value = 0;
    ReadOffsets(offsets_, offset, &value, sizeof value);
    return value;
}

HANDLE SuspendModule() {
    const DWORD threadId =
        GetWindowThreadProcessId(FindWindowA(kModuleWindowClasses[0], nullptr), nullptr);
    const HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, threadId);
    if (thread != nullptr) SuspendThread(thread);
    return thread;
}

void ResumeModule(HANDLE thread) {
    ResumeThread(thread);
    CloseHandle(thread);
}
