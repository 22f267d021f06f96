// What the simulator module can do to Quorvane: die in the middle of its work, refuse every
// exchange, answer slowly, or find the request buffer's name already held by somebody else.
// Quorvane must not crash, must not touch what is not its own, and must say in its status bar
// whether the link still works. (A module whose window stops answering, which holds an exchange
// for its whole 18.9 s, is app_tests' ModuleThatStopsAnsweringEndsTheCycles.)
#include <cstdio>

#include "tests/wine/fault_fixture.h"

namespace {

constexpr std::int32_t kPresetValue = 0x41;
constexpr std::uint32_t kPresetSingleValue = 0x9484;  // int32 field 0x020 as one byte

using ModuleFaults = FaultTest;

// Kills the process that owns the module's window, as a crash would end it.
bool KillModuleProcess() {
    DWORD processId = 0;
    GetWindowThreadProcessId(FindWindowA(kModuleWindowClasses[0], nullptr), &processId);
    const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) return false;
    const bool killed = TerminateProcess(process, 9) && WaitForSingleObject(process, 5000) == 0;
    CloseHandle(process);
    return killed;
}

// Expected: the next exchange finds no window; nine sends fail at once, so within about a
// second "Status: NOT OK". Quorvane keeps running and answering, and makes no further exchange:
// a module started again gets none.
TEST_F(ModuleFaults, KilledModuleTurnsTheStatusNotOkAndStopsTheCycles) {
    // Each exchange takes a few milliseconds, so the kill likely lands in the middle of one.
    ASSERT_TRUE(StartStandIns("--delay-ms 3", "--script"));
    ASSERT_TRUE(StartQuorvane(L"Status: OK"));
    ASSERT_TRUE(ExchangesArrive(20));

    ASSERT_TRUE(KillModuleProcess());
    EXPECT_TRUE(StatusBecomes(L"Status: NOT OK", kFailedExchangeTimeoutMs));
    EXPECT_TRUE(QuorvaneRuns());

    CloseOffsetsView(offsets_);
    module_.Stop();
    ASSERT_TRUE(StartModule());
    Sleep(500);
    EXPECT_EQ(Exchanges(), 0u) << "Quorvane does not reconnect";
    EXPECT_EQ(quorvane_.StatusText(), L"Status: NOT OK");
    EXPECT_TRUE(QuorvaneRuns());
}

// Expected: the handshake's exchange is refused (result 13); "Status: NOT OK" at start, the
// window not minimised, that one exchange and no other.
TEST_F(ModuleFaults, ModuleAnsweringZeroIsRefusedAtTheHandshake) {
    ASSERT_TRUE(StartStandIns("--answer 0", "--script"));
    ASSERT_TRUE(StartQuorvane(L"Status: NOT OK"));
    EXPECT_FALSE(IsIconic(quorvane_.window()));
    EXPECT_EQ(Exchanges(), 1u);
    Sleep(500);
    EXPECT_EQ(Exchanges(), 1u) << "a refused exchange is not sent again, and no cycle runs";
    EXPECT_TRUE(QuorvaneRuns());
}

// Expected: answers that come late but within the two-second timeout slow the bridge down and
// change nothing else: "Status: OK", the add-on's value in the block, a posted code forwarded.
TEST_F(ModuleFaults, LateAnswersWithinTheTimeoutKeepTheBridgeRunning) {
    ASSERT_TRUE(StartStandIns("--delay-ms 300", "--set 0x020=65"));
    ASSERT_TRUE(StartQuorvane(L"Status: OK"));
    ASSERT_TRUE(ExchangesArrive(3));
    std::uint8_t shown = 0;
    ReadOffsets(offsets_, kPresetSingleValue, &shown, sizeof shown);
    EXPECT_EQ(shown, kPresetValue);

    ASSERT_TRUE(OpenClient());
    EXPECT_TRUE(PostAndAwaitServed(77, 10000));
    EXPECT_TRUE(addon_.WaitForOutput("command 77 parameter 0\n")) << addon_.Output();
    EXPECT_EQ(quorvane_.StatusText(), L"Status: OK");
}

// Expected: a mapping of the name Quorvane would give its first request buffer exists already,
// held by this process. Quorvane refuses to share it (result 5): "Status: NOT OK", not one
// exchange with the module, the other process's bytes untouched, the name's atom given back.
TEST_F(ModuleFaults, BufferNameHeldByAnotherProcessIsNeverShared) {
    ASSERT_TRUE(StartStandIns("", "--script"));
    char name[64] = "";
    HANDLE held = nullptr;
    std::uint8_t* bytes = nullptr;
    const bool started = quorvane_.Start([&](DWORD processId) {
        std::snprintf(name, sizeof name, "FsasmLib:IPC:%lX:1", processId);
        held = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0x8000, name);
        bytes = static_cast<std::uint8_t*>(MapViewOfFile(held, FILE_MAP_WRITE, 0, 0, 0));
        if (bytes != nullptr) FillMemory(bytes, 0x8000, 0xA5);
    });
    ASSERT_TRUE(started);
    ASSERT_NE(bytes, nullptr);
    ASSERT_TRUE(quorvane_.WaitForWindow());
    EXPECT_TRUE(StatusBecomes(L"Status: NOT OK", kStartTimeoutMs));

    EXPECT_EQ(Exchanges(), 0u);
    std::size_t untouched = 0;
    while (untouched < 0x8000 && bytes[untouched] == 0xA5) ++untouched;
    EXPECT_EQ(untouched, 0x8000u) << "Quorvane wrote into a buffer it did not create";
    EXPECT_EQ(GlobalFindAtomA(name), 0) << "the atom of a failed open is deleted";
    EXPECT_TRUE(QuorvaneRuns());
    UnmapViewOfFile(bytes);
    CloseHandle(held);
}

}  // namespace
