#include "tests/wine/stand_in_fixture.h"

namespace {

::testing::AssertionResult StartAndAwait(StandInProcess& process, const char* program,
                                         const std::string& arguments, const char* readyText) {
    if (!process.Start(program, arguments)) {
        return ::testing::AssertionFailure()
               << program << " did not start (error " << GetLastError() << ")";
    }
    if (!process.WaitForOutput(readyText)) {
        return ::testing::AssertionFailure()
               << program << " " << arguments << " did not get ready; it printed:\n"
               << process.Output();
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

::testing::AssertionResult StandInTest::StartModule(const std::string& arguments) {
    ::testing::AssertionResult started =
        StartAndAwait(module_, "kit-module.exe", arguments, "kit-module ready");
    if (!started) return started;
    if (!OpenOffsetsView(offsets_)) {
        return ::testing::AssertionFailure() << "the module's offsets mapping cannot be opened";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult StandInTest::StartAddon(const std::string& arguments) {
    return StartAndAwait(addon_, "kit-addon.exe", arguments, "kit-addon ready");
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
