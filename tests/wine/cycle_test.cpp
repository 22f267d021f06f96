// RunCycle in the test process against the stand-in module and add-on, each a process of its
// own, as Quorvane's timer would run it: what one cycle carries to the module, where the add-on's
// state lands in the bridge block, and how posted codes and encoder turns come back to the add-on,
// each exactly once.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <sstream>
#include <string>

#include "bridge/bridge.h"
#include "bridge/bridge_block.h"
#include "sdk/sdk.h"
#include "simlink/simlink.h"
#include "tests/wine/stand_in_process.h"
#include "tools/kit-addon/addon_blocks.h"
#include "tools/kit-module/offsets_mapping.h"

namespace {

constexpr std::uint32_t kMailbox = 0x9400;
constexpr std::uint32_t kCounters = 0x94F0;
constexpr std::uint32_t kDisplay1Digits = 0x08C;   // five fields, ten-thousands first
constexpr std::uint32_t kDisplay22Digits = 0x9A0;  // five fields, units first
constexpr std::uint32_t kDisplay1Encoder = 6;      // command 1238, 500 a step
constexpr DWORD kArrivalTimeoutMs = 3000;

// What the module traces for the reads of a cycle in which no client posted or turned anything.
constexpr char kIdleReads[] =
    "  read  0x9400 size 2: FF FF\n"
    "  read  0x94F0 size 1: 00\n"
    "  read  0x94F1 size 1: 00\n"
    "  read  0x94F2 size 1: 00\n"
    "  read  0x94F3 size 1: 00\n"
    "  read  0x94F4 size 1: 00\n"
    "  read  0x94F5 size 1: 00\n"
    "  read  0x94F6 size 1: 00\n"
    "  read  0x94F7 size 1: 00\n";

class CycleAgainstStandIns : public ::testing::Test {
  protected:
    // One module, tracing every record, and one add-on serve the whole suite, since each start
    // costs about a second under Wine; the link and the SDK views stay open between tests.
    static void SetUpTestSuite() { setUpError_ = StartAndOpenBothSides(); }
    static void TearDownTestSuite();

    // Each test begins as a fresh Quorvane would: a bridge that has sent nothing, facing an
    // all-zero state block and bridge block with an empty mailbox.
    void SetUp() override {
        ASSERT_EQ(setUpError_, "");
        ResetBridgeState();
        std::memset(stateBlock_, 0, kStateBlockSize);
        const std::uint8_t zeros[kBridgeBlockSize] = {};
        WriteOffsets(offsets_, kBridgeBlockStart, zeros, sizeof zeros);
        PostCode(-1);
        commandsBefore_ = addon_.Output().size();
    }

    // The add-on's side: its state block written as the add-on would.
    static void SetInt32(std::uint32_t field, std::int32_t value) {
        std::memcpy(stateBlock_ + field, &value, sizeof value);
    }
    static void SetDouble(std::uint32_t field, double value) {
        std::memcpy(stateBlock_ + field, &value, sizeof value);
    }
    // Consecutive 32-bit digit fields from `first` on, in ascending offset.
    static void SetDigits(std::uint32_t first, std::initializer_list<std::int32_t> digits) {
        for (const std::int32_t digit : digits) {
            SetInt32(first, digit);
            first += sizeof digit;
        }
    }

    // The module's side, through its offsets mapping, as any client could see and change it.
    static std::uint16_t Offset16(std::uint32_t offset) {
        std::uint16_t value = 0;
        ReadOffsets(offsets_, offset, &value, sizeof value);
        return value;
    }
    static std::uint8_t Offset8(std::uint32_t offset) {
        std::uint8_t value = 0;
        ReadOffsets(offsets_, offset, &value, sizeof value);
        return value;
    }
    static void SetOffset8(std::uint32_t offset, std::uint8_t value) {
        WriteOffsets(offsets_, offset, &value, sizeof value);
    }
    static void PostCode(std::int16_t code) {
        WriteOffsets(offsets_, kMailbox, &code, sizeof code);
    }
    static void SetCounter(std::uint32_t encoder, std::uint8_t value) {
        SetOffset8(kCounters + encoder, value);
    }
    static std::uint32_t Exchanges() { return ExchangeCount(offsets_); }

    // Whether the module traced exactly `expected` as the records of exchange `number`. The
    // module prints them before it answers, but they reach this process through a pipe.
    static ::testing::AssertionResult RecordsOf(std::uint32_t number, const std::string& expected) {
        std::string records;
        if (WaitFor([&] { return (records = TracedRecords(number)) == expected; })) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "exchange " << number << " carried:\n"
                                             << records << "instead of:\n"
                                             << expected;
    }

    // Whether the add-on has printed exactly `expected` as the commands it took in this test: its
    // "command" lines, without the indented notes on which encoder a command is for.
    ::testing::AssertionResult CommandsTaken(const std::string& expected) const {
        std::string taken;
        if (WaitFor([&] { return (taken = CommandLines()) == expected; })) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "the add-on took:\n"
                                             << taken << "instead of:\n"
                                             << expected;
    }

  private:
    std::string CommandLines() const {
        std::istringstream output(addon_.Output().substr(commandsBefore_));
        std::string lines;
        for (std::string line; std::getline(output, line);) {
            if (line.rfind("command ", 0) == 0) lines += line + "\n";
        }
        return lines;
    }

    static std::string StartAndOpenBothSides();
    static std::string TracedRecords(std::uint32_t number);

    template <typename Condition>
    static bool WaitFor(Condition condition) {
        const ULONGLONG end = GetTickCount64() + kArrivalTimeoutMs;
        while (!condition()) {
            if (GetTickCount64() >= end) return false;
            Sleep(5);
        }
        return true;
    }

    inline static std::string setUpError_;
    inline static StandInProcess module_;
    inline static StandInProcess addon_;
    inline static OffsetsView offsets_{};
    inline static HANDLE stateMapping_ = nullptr;
    inline static std::uint8_t* stateBlock_ = nullptr;  // this process's writable view
    std::size_t commandsBefore_ = 0;                    // add-on output before the test
};

std::string CycleAgainstStandIns::StartAndOpenBothSides() {
    ResetLinkStateForTest();
    ResetSdkViews();
    if (!module_.StartReady("kit-module", "--trace")) {
        return "kit-module.exe did not get ready:\n" + module_.Output();
    }
    if (!OpenOffsetsView(offsets_)) return "the module's offsets mapping cannot be opened";
    if (!addon_.StartReady("kit-addon", "")) {
        return "kit-addon.exe did not get ready:\n" + addon_.Output();
    }
    stateMapping_ = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, kStateMappingName);
    if (stateMapping_ != nullptr) {
        stateBlock_ = static_cast<std::uint8_t*>(
            MapViewOfFile(stateMapping_, FILE_MAP_ALL_ACCESS, 0, 0, kStateBlockSize));
    }
    if (stateBlock_ == nullptr) return "the add-on's state block cannot be opened";
    if (!LinkOpen(0, g_bridge.linkResult)) {
        return "LinkOpen failed with " + std::to_string(g_bridge.linkResult);
    }
    if (SdkOpen() != LINK_OK || !SdkCommandViewMapped()) return "SdkOpen did not map both views";
    return "";
}

void CycleAgainstStandIns::TearDownTestSuite() {
    SdkClose();
    LinkClose();
    if (stateBlock_ != nullptr) UnmapViewOfFile(stateBlock_);
    if (stateMapping_ != nullptr) CloseHandle(stateMapping_);
    stateBlock_ = nullptr;
    stateMapping_ = nullptr;
    CloseOffsetsView(offsets_);
    module_.Stop();
    addon_.Stop();
}

// The lines the module traced after "exchange N: atom ...", up to the next exchange.
std::string CycleAgainstStandIns::TracedRecords(std::uint32_t number) {
    const std::string output = module_.Output();
    const std::string header = "exchange " + std::to_string(number) + ": atom ";
    std::size_t start = output.find(header);
    if (start == std::string::npos) return "(not traced)\n";
    start = output.find('\n', start);
    if (start == std::string::npos) return "";
    const std::size_t end = output.find("exchange ", start);
    return output.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

// The first cycle writes only what differs from zero, displays before flags before single values,
// all ahead of the nine reads in the same exchange; once those writes are through, a cycle on an
// unchanged state is one exchange that carries the nine reads and nothing else.
TEST_F(CycleAgainstStandIns, UnchangedStateCostsOneExchangeOfTheNineReads) {
    SetDigits(kDisplay1Digits, {1, 2, 3, 4, 5});
    SetInt32(0x024, 1);
    SetInt32(0x020, 7);
    SetDouble(0x008, 123.9);

    const std::uint32_t first = Exchanges() + 1;
    EXPECT_EQ(RunCycle(), LINK_OK);
    EXPECT_EQ(Exchanges(), first);
    EXPECT_TRUE(RecordsOf(first, std::string("  write 0x9430 size 2: 39 30\n"
                                             "  write 0x9402 size 1: 02\n"
                                             "  write 0x9480 size 2: 7B 00\n"
                                             "  write 0x9484 size 1: 07\n") +
                                     kIdleReads));

    for (std::uint32_t cycle = 1; cycle <= 3; ++cycle) {
        EXPECT_EQ(RunCycle(), LINK_OK);
        EXPECT_EQ(Exchanges(), first + cycle);
        EXPECT_TRUE(RecordsOf(first + cycle, kIdleReads));
    }
}

// A change of the add-on's state is in the module's space when the next cycle returns, at the
// offset, width and byte order its table gives, and so is a change back; the bytes the bridge
// never writes keep what the module held.
TEST_F(CycleAgainstStandIns, StateChangesArriveAtTheirOffsets) {
    constexpr std::uint8_t kPlanted = 0xA5;
    const std::uint32_t neverWritten[] = {0x9408, 0x9427, 0x942F, 0x9472, 0x947F};
    for (const std::uint32_t offset : neverWritten) {
        SetOffset8(offset, kPlanted);
    }
    EXPECT_EQ(RunCycle(), LINK_OK);

    SetDigits(kDisplay1Digits, {4, 2, 0, 0, 7});
    SetInt32(0x0B4, 10);  // display 2's units blank: the whole display blank
    SetDigits(kDisplay22Digits, {5, 4, 3, 2, 1});
    SetInt32(0x024, 1);  // bit 1 of 0x9402
    SetInt32(0x030, 1);  // bit 2 of 0x9402
    SetInt32(0x020, 300);
    SetDouble(0x008, 123.9);
    SetDouble(0x010, -1.5);
    SetDouble(0x0F8, 70000.0);
    EXPECT_EQ(RunCycle(), LINK_OK);
    EXPECT_EQ(Offset16(0x9430), 42007);
    EXPECT_EQ(Offset16(0x9432), 0xFFFF);
    EXPECT_EQ(Offset16(0x945A), 12345);
    EXPECT_EQ(Offset8(0x9402), 0x06);
    EXPECT_EQ(Offset8(0x9484), 0x2C);
    EXPECT_EQ(Offset16(0x9480), 123);
    EXPECT_EQ(Offset16(0x9482), 0xFFFF);
    EXPECT_EQ(Offset16(0x9488), 0x1170);

    SetInt32(0x09C, 10);  // display 1's units blank
    SetInt32(0x024, 0);
    SetInt32(0x020, 0);
    SetDouble(0x008, 0.0);
    EXPECT_EQ(RunCycle(), LINK_OK);
    EXPECT_EQ(Offset16(0x9430), 0xFFFF);
    EXPECT_EQ(Offset8(0x9402), 0x04);
    EXPECT_EQ(Offset8(0x9484), 0x00);
    EXPECT_EQ(Offset16(0x9480), 0);
    EXPECT_EQ(Offset16(0x945A), 12345) << "unchanged, so not written again";

    for (const std::uint32_t offset : neverWritten) {
        EXPECT_EQ(Offset8(offset), kPlanted) << std::hex << "0x" << offset;
    }
}

// A code posted into the mailbox by another client reaches the add-on once, with the parameter
// 0, and a second exchange carrying only 0xFFFF empties the mailbox; 0 is a code like any other,
// -2 is none. A turn of encoder 6 sets display 1's value to an absolute target without any link
// traffic. Cycles that follow bring nothing more.
TEST_F(CycleAgainstStandIns, PostedCodesAndTurnsReachTheAddonOnce) {
    SetDigits(kDisplay1Digits, {0, 1, 0, 0, 0});
    EXPECT_EQ(RunCycle(), LINK_OK);

    PostCode(1234);
    const std::uint32_t posted = Exchanges();
    EXPECT_EQ(RunCycle(), LINK_OK);
    EXPECT_EQ(Exchanges(), posted + 2);
    EXPECT_TRUE(RecordsOf(posted + 2, "  write 0x9400 size 2: FF FF\n"));
    EXPECT_EQ(Offset16(kMailbox), 0xFFFF);
    ASSERT_TRUE(CommandsTaken("command 1234 parameter 0\n"));

    PostCode(0);
    EXPECT_EQ(RunCycle(), LINK_OK);
    EXPECT_EQ(Offset16(kMailbox), 0xFFFF);
    ASSERT_TRUE(CommandsTaken("command 1234 parameter 0\ncommand 0 parameter 0\n"));

    PostCode(-2);
    const std::uint32_t ignored = Exchanges();
    EXPECT_EQ(RunCycle(), LINK_OK);
    EXPECT_EQ(Exchanges(), ignored + 1);
    EXPECT_EQ(Offset16(kMailbox), 0xFFFE) << "left for the client to see";
    PostCode(-1);

    SetCounter(kDisplay1Encoder, 1);
    const std::uint32_t turned = Exchanges();
    EXPECT_EQ(RunCycle(), LINK_OK);
    EXPECT_EQ(Exchanges(), turned + 1);
    ASSERT_TRUE(
        CommandsTaken("command 1234 parameter 0\ncommand 0 parameter 0\n"
                      "command 1238 parameter 1500\n"));

    SetCounter(kDisplay1Encoder, 0);
    EXPECT_EQ(RunCycle(), LINK_OK);
    ASSERT_TRUE(
        CommandsTaken("command 1234 parameter 0\ncommand 0 parameter 0\n"
                      "command 1238 parameter 1500\ncommand 1238 parameter 500\n"));

    for (int cycle = 0; cycle < 5; ++cycle) EXPECT_EQ(RunCycle(), LINK_OK);
    Sleep(100);  // the add-on looks for a command every millisecond
    EXPECT_TRUE(
        CommandsTaken("command 1234 parameter 0\ncommand 0 parameter 0\n"
                      "command 1238 parameter 1500\ncommand 1238 parameter 500\n"));
    EXPECT_EQ(Offset16(kMailbox), 0xFFFF);
}

}  // namespace
