// Quorvane.exe against the stand-in module and add-on, each a process of its own: the status it
// shows for each combination, the cycles the timer drives, and how a failing module stops them.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/resource_ids.h"
#include "tests/wine/app_process.h"
#include "tests/wine/stand_in_fixture.h"

namespace {

constexpr DWORD kExitTimeoutMs = 5000;
// Long enough for a handshake and the two-second pause before "Status: OK".
constexpr DWORD kStartTimeoutMs = 10000;
// A module that never answers holds one exchange for nine sends of two seconds each.
constexpr DWORD kHungExchangeTimeoutMs = 30000;

class QuorvaneWithStandIns : public StandInTest {
  protected:
    std::uint32_t Exchanges() const { return ExchangeCount(offsets_); }

    // Whether the name of Quorvane's first request buffer is still a global atom: the link
    // holds it from a successful open until it is closed.
    bool BufferAtomExists() const {
        char name[64];
        std::snprintf(name, sizeof name, "FsasmLib:IPC:%lX:1", quorvane_.processId());
        return GlobalFindAtomA(name) != 0;
    }

    // Both stand-ins, then Quorvane, through "Status: LOADING" to "Status: OK".
    void StartWithBothSides() {
        ASSERT_TRUE(StartModule());
        ASSERT_TRUE(StartAddon("--script"));
        ASSERT_TRUE(quorvane_.Start());
        ASSERT_TRUE(quorvane_.WaitForWindow());
        ASSERT_NO_FATAL_FAILURE(ExpectLoadingThenOk());
    }

    // Waits for Quorvane's "Status: LOADING" and then "Status: OK", and checks how each stood.
    void ExpectLoadingThenOk() {
        ASSERT_TRUE(quorvane_.WaitForTraceLength(2, kStartTimeoutMs));
        const std::vector<TracedStatus> trace = quorvane_.Trace();
        EXPECT_EQ(trace[0].text, L"Status: LOADING");
        EXPECT_FALSE(trace[0].windowMinimised);
        EXPECT_EQ(trace[1].text, L"Status: OK");
        EXPECT_TRUE(trace[1].windowMinimised);
        // The pause is a sleep of two seconds; a busy machine can only make it longer.
        EXPECT_GE(trace[1].tickMs - trace[0].tickMs, 1500u);
    }

    // Waits until the timer's cycles have brought `count` more exchanges.
    bool ExchangesArrive(std::uint32_t count) const {
        const std::uint32_t start = Exchanges();
        return WaitUntil([&] { return Exchanges() >= start + count; }, 5000);
    }

    void ExpectNoExchangesFor(DWORD ms) const {
        const std::uint32_t before = Exchanges();
        Sleep(ms);
        EXPECT_EQ(Exchanges(), before) << "exchanges in " << ms << " ms";
    }

    void EndWith(UINT message, WPARAM wParam) {
        PostMessageW(quorvane_.window(), message, wParam, 0);
        DWORD exitCode = 1;
        ASSERT_TRUE(quorvane_.WaitForExit(kExitTimeoutMs, exitCode));
        EXPECT_EQ(exitCode, 0u);
    }

    QuorvaneProcess quorvane_;
};

// The module answers but the add-on has not published its state: the link opened (one handshake
// exchange) and no cycle runs. At exit the clean-up closes the link, giving its atom back.
TEST_F(QuorvaneWithStandIns, ModuleWithoutAddonShowsNotOkAndClosesTheLinkAtExit) {
    ASSERT_TRUE(StartModule());
    ASSERT_TRUE(quorvane_.Start());
    ASSERT_TRUE(quorvane_.WaitForWindow());
    EXPECT_EQ(quorvane_.StatusText(), L"Status: NOT OK");
    EXPECT_FALSE(IsIconic(quorvane_.window()));
    EXPECT_EQ(Exchanges(), 1u) << "the handshake";
    EXPECT_TRUE(BufferAtomExists());
    ExpectNoExchangesFor(500);

    EndWith(WM_CLOSE, 0);
    EXPECT_FALSE(BufferAtomExists()) << "the exit clean-up closes the link";
}

// Both sides: "Status: LOADING" for two seconds, then minimised, "Status: OK" and a cycle every
// tick, also while the About box's modal loop runs. When the module's window goes, the next
// cycle fails: "Status: NOT OK". Exit still ends the program with 0 and closes the link.
// "Status: LOADING" and the lines are painted before the two seconds of sleep: the status bar
// and the lines are child windows, which a repaint of the main window alone leaves unpainted.
TEST_F(QuorvaneWithStandIns, LoadingIsPaintedBeforeThePause) {
    ASSERT_TRUE(StartModule());
    ASSERT_TRUE(StartAddon("--script"));
    ASSERT_TRUE(quorvane_.Start());
    ASSERT_TRUE(quorvane_.WaitForWindow());
    ASSERT_TRUE(quorvane_.WaitForTraceLength(1, kStartTimeoutMs));
    Sleep(300);
    ASSERT_EQ(quorvane_.Trace().size(), 1u) << "the pause is over already";
    for (const int line : {0, IDC_PANEL_MODULE, IDC_PANEL_ADDON, IDC_PANEL_BRIDGE}) {
        const HWND child = line == 0 ? quorvane_.statusBar() : GetDlgItem(quorvane_.window(), line);
        EXPECT_FALSE(GetUpdateRect(child, nullptr, FALSE)) << "unpainted: " << line;
    }
    ASSERT_NO_FATAL_FAILURE(ExpectLoadingThenOk());
}

TEST_F(QuorvaneWithStandIns, BothSidesRunCyclesUntilTheModuleGoes) {
    ASSERT_NO_FATAL_FAILURE(StartWithBothSides());
    EXPECT_TRUE(IsIconic(quorvane_.window()));
    EXPECT_EQ(quorvane_.StatusText(), L"Status: OK");
    EXPECT_TRUE(ExchangesArrive(20));

    PostMessageW(quorvane_.window(), WM_COMMAND, IDM_ABOUT, 0);
    ASSERT_TRUE(WaitUntil([&] { return quorvane_.FindAboutBox() != nullptr; }, 3000));
    EXPECT_TRUE(ExchangesArrive(50)) << "no cycle while the About box is open";
    PostMessageW(quorvane_.FindAboutBox(), WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return quorvane_.FindAboutBox() == nullptr; }, 3000));

    module_.Stop();
    ASSERT_TRUE(quorvane_.WaitForTraceLength(3, kStartTimeoutMs));
    EXPECT_EQ(quorvane_.Trace()[2].text, L"Status: NOT OK");
    EXPECT_EQ(quorvane_.StatusText(), L"Status: NOT OK");
    EXPECT_TRUE(BufferAtomExists()) << "the link stays open until exit";

    EndWith(WM_COMMAND, IDM_EXIT);
    EXPECT_FALSE(BufferAtomExists()) << "the exit clean-up closes the link";
}

// A module that stops answering holds one exchange until all nine sends have timed out; then
// "Status: NOT OK", and no cycle runs any more once the module answers again.
TEST_F(QuorvaneWithStandIns, ModuleThatStopsAnsweringEndsTheCycles) {
    ASSERT_NO_FATAL_FAILURE(StartWithBothSides());
    ASSERT_TRUE(ExchangesArrive(20));

    const HANDLE moduleThread = SuspendModule();
    ASSERT_NE(moduleThread, nullptr);
    const bool failed = quorvane_.WaitForTraceLength(3, kHungExchangeTimeoutMs);
    ResumeModule(moduleThread);
    ASSERT_TRUE(failed);
    EXPECT_EQ(quorvane_.Trace()[2].text, L"Status: NOT OK");

    // The sends that timed out may still reach the module once it runs again; after them,
    // nothing: the timer ticks on without a cycle.
    Sleep(1000);
    ExpectNoExchangesFor(500);
    EXPECT_EQ(quorvane_.StatusText(), L"Status: NOT OK");
    EndWith(WM_COMMAND, IDM_EXIT);
}

// A module keeps the bridge block while the simulator runs: here bytes of an earlier run and
// counters that clients turned while no Quorvane was there, the mailbox emptied. After the start
// no turn is forwarded, and every exported byte shows the add-on's state as a fresh module would:
// the state's zeros too, where the block held something else. 0x9408 and the gaps are not the
// bridge's and keep what they held.
TEST_F(QuorvaneWithStandIns, StartingOnAStaleBlockForwardsNothingAndShowsTheState) {
    ASSERT_TRUE(StartModule());
    ASSERT_TRUE(
        StartAddon("--set 0x09C=10 --set 0x1B0=4 --set 0x024=1 --set 0x020=-1 "
                   "--set-double 0x010=-2 --set-double 0x008=250.5"));
    constexpr std::uint32_t kFirst = 0x9402, kCounters = 0x94F0;
    std::uint8_t stale[kCounters - kFirst];
    for (std::uint32_t at = kFirst; at < kCounters; ++at) {
        stale[at - kFirst] = static_cast<std::uint8_t>(at * 37 + 11);
    }
    WriteOffsets(offsets_, kFirst, stale, sizeof stale);
    const std::uint8_t counters[] = {40, 41, 42, 43, 44, 45, 46, 47};
    WriteOffsets(offsets_, kCounters, counters, sizeof counters);
    const std::int16_t emptied = -1;
    WriteOffsets(offsets_, 0x9400, &emptied, sizeof emptied);

    ASSERT_TRUE(quorvane_.Start());
    ASSERT_TRUE(quorvane_.WaitForWindow());
    ASSERT_NO_FATAL_FAILURE(ExpectLoadingThenOk());
    ASSERT_TRUE(ExchangesArrive(20));

    EXPECT_EQ(addon_.Output().find("\ncommand "), std::string::npos) << addon_.Output();
    // What the add-on's state exports to; every other exported byte is 0.
    const struct {
        std::uint32_t offset;
        std::uint8_t value;
    } shown[] = {
        {0x9402, 0x02},                  // flag 0x024 at bit 1
        {0x9430, 0xFF}, {0x9431, 0xFF},  // display 1 blank
        {0x9434, 0x04},                  // display 3 reads 4
        {0x9480, 0xFA},                  // 250.5 truncated
        {0x9482, 0xFE}, {0x9483, 0xFF},  // -2.0
        {0x9484, 0xFF},                  // -1
    };
    std::uint8_t block[kCounters - kFirst];
    ReadOffsets(offsets_, kFirst, block, sizeof block);
    for (std::uint32_t at = kFirst; at < kCounters; ++at) {
        const bool exported =
            at != 0x9408 && !(at >= 0x9427 && at <= 0x942F) && !(at >= 0x9472 && at <= 0x947F);
        std::uint8_t due = exported ? 0 : stale[at - kFirst];
        for (const auto& value : shown) {
            if (value.offset == at) due = value.value;
        }
        EXPECT_EQ(+block[at - kFirst], +due) << "offset 0x" << std::hex << at;
    }
    EndWith(WM_COMMAND, IDM_EXIT);
}

}  // namespace
