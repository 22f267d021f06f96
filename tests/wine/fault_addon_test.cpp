// The add-on process ending while Quorvane runs. Its mappings outlive it as long as Quorvane holds
// views of them, so Quorvane cannot tell and need not: it must not crash, and what it hands on
// simply stops changing.
#include <cstring>

#include "tests/wine/fault_fixture.h"
#include "tools/kit-addon/addon_blocks.h"

namespace {

constexpr std::uint32_t kFirstDisplay = 0x9430;
constexpr std::size_t kDisplayBytes = 33 * 2;
constexpr std::int16_t kCodeAfterTheEnd = 55;

using AddonFaults = FaultTest;

// Expected: "Status: OK" throughout and the cycles go on; the displays, which the add-on's
// script kept counting, stand still; a code posted afterwards is still taken from the mailbox and
// lies in the orphaned command block, where no add-on clears it.
TEST_F(AddonFaults, AddonEndingLeavesTheBlockStillAndTheBridgeRunning) {
    ASSERT_TRUE(StartStandIns("", "--script"));
    ASSERT_TRUE(StartQuorvane(L"Status: OK"));
    std::uint8_t before[kDisplayBytes];
    std::uint8_t after[kDisplayBytes];
    ReadOffsets(offsets_, kFirstDisplay, before, sizeof before);
    ASSERT_TRUE(WaitUntil(
        [&] {
            ReadOffsets(offsets_, kFirstDisplay, after, sizeof after);
            return std::memcmp(before, after, sizeof before) != 0;
        },
        5000))
        << "the script's displays never changed";

    addon_.Stop();
    ASSERT_EQ(addon_.ExitCode(), 0u);
    Sleep(200);  // the cycle that may have run while the add-on ended
    ReadOffsets(offsets_, kFirstDisplay, before, sizeof before);
    ASSERT_TRUE(ExchangesArrive(30));
    ReadOffsets(offsets_, kFirstDisplay, after, sizeof after);
    EXPECT_EQ(std::memcmp(before, after, sizeof before), 0) << "values moved without the add-on";
    EXPECT_EQ(quorvane_.StatusText(), L"Status: OK");

    ASSERT_TRUE(OpenClient());
    EXPECT_TRUE(PostAndAwaitServed(kCodeAfterTheEnd));
    // Quorvane's handle keeps the name alive, so the block is still found by it.
    const HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, kCommandMappingName);
    ASSERT_NE(mapping, nullptr);
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kCommandViewSize);
    ASSERT_NE(view, nullptr);
    std::int32_t code = 0;
    std::memcpy(&code, static_cast<const std::uint8_t*>(view) + kCommandCodeAt, sizeof code);
    EXPECT_EQ(code, kCodeAfterTheEnd);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    EXPECT_TRUE(QuorvaneRuns());
}

}  // namespace
