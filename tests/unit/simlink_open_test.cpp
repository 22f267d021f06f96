// Opening and closing the link: every way an open can fail, what each leaves acquired, the
// handshake's passes and the name counter.
#include <optional>
#include <string>

#include "tests/fresh_world/fresh_world.h"
#include "tests/unit/link_test_support.h"

namespace {

using link_test::LinkTest;
using link_test::ModuleWord;
using link_test::OpenLinkToModule;
using link_test::QueuedBytes;

constexpr std::uint32_t kOldestVersion = 0x19980005;

// Nothing of the link is left acquired in the world, and the link is closed.
void ExpectNothingHeld() {
    EXPECT_EQ(fake::LiveAtomCount(), 0u);
    EXPECT_EQ(fake::LiveHandleCount(), 0u);
    EXPECT_EQ(fake::LiveViewCount(), 0u);
    EXPECT_EQ(g_link.bufferStart, nullptr);
    EXPECT_EQ(g_link.bufferMapping, nullptr);
    EXPECT_EQ(g_link.bufferAtom, 0);
}

// Everything a failure from the atom step on acquired is released, and window and message too.
void ExpectGaveUp() {
    ExpectNothingHeld();
    EXPECT_EQ(g_link.moduleWindow, nullptr);
    EXPECT_EQ(g_link.ipcMessageId, 0u);
}

// The module's names (its window classes, its message, the buffer names it opens) are written
// out in these tests on purpose, not taken from simlink.h: they hold the link's declarations to
// what the simulator's module really uses.
std::string BufferName(DWORD processId, std::uint32_t count) {
    char name[64];
    std::snprintf(name, sizeof name, "FsasmLib:IPC:%X:%X", processId, count);
    return name;
}

TEST_F(LinkTest, OpenWithARunningModuleTakesOneExchangeAndOnePause) {
    fake::SetProcessId(0xABCDEF);
    const HWND window = fake::StartModule();
    LinkResult result = -1;
    ASSERT_TRUE(LinkOpen(0, result));
    EXPECT_EQ(result, LINK_OK);

    EXPECT_EQ(g_link.moduleWindow, window);
    EXPECT_EQ(g_link.ipcMessageId, fake::RegisteredMessage("FsasmLib:IPC"));
    EXPECT_EQ(g_link.moduleVersion, kOldestVersion);
    EXPECT_EQ(g_link.simulatorId, 1u);
    EXPECT_EQ(g_link.openCount, 1u);
    EXPECT_EQ(QueuedBytes(), 0u);

    const std::string name = BufferName(0xABCDEF, 1);
    EXPECT_EQ(name, "FsasmLib:IPC:ABCDEF:1");
    EXPECT_EQ(fake::AtomName(g_link.bufferAtom), name);
    EXPECT_EQ(fake::LiveAtomCount(), 1u);
    EXPECT_EQ(fake::LiveHandleCount(), 1u);
    EXPECT_EQ(fake::LiveViewCount(), 1u);
    EXPECT_EQ(fake::BlockBytes(name).size(), kRequestBufferSize);
    EXPECT_EQ(fake::BlockBytes(name).data(), g_link.bufferStart);
    EXPECT_EQ(fake::LastMapAccess(), FILE_MAP_WRITE);

    EXPECT_EQ(fake::ExchangesHandled(), 1u);
    EXPECT_EQ(fake::CallCount(fake::Call::Sleep), 1u);
    EXPECT_EQ(fake::Now(), 100u);

    // Both reads stand before the greeting, which the module keeps apart from its marker.
    const auto records = fake::ExchangeRecords(1);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].kind, exchange::RecordKind::Read);
    EXPECT_EQ(records[0].offset, 0x3304u);
    EXPECT_EQ(records[0].size, 4u);
    EXPECT_EQ(records[1].kind, exchange::RecordKind::Read);
    EXPECT_EQ(records[1].offset, 0x3308u);
    EXPECT_EQ(records[1].size, 4u);
    EXPECT_EQ(records[2].kind, exchange::RecordKind::Write);
    EXPECT_EQ(records[2].offset, 0x330Au);
    ASSERT_EQ(records[2].size, 2u);
    EXPECT_EQ(records[2].data[0], 0xD2);
    EXPECT_EQ(records[2].data[1], 0x07);
    EXPECT_EQ(exchange::Greeting(fake::ModuleSpace()), 2002);
    EXPECT_EQ(ModuleWord(0x3308), exchange::kDefaultSimulatorWord);
}

TEST_F(LinkTest, FailuresBeforeTheNameAcquireNothingAndUseNoCounterValue) {
    LinkResult result = -1;
    EXPECT_FALSE(LinkOpen(0, result));
    EXPECT_EQ(result, LINK_NO_SIMULATOR);
    fake::AddWindow("SomethingElse");
    EXPECT_FALSE(LinkOpen(0, result));
    EXPECT_EQ(result, LINK_NO_SIMULATOR);
    EXPECT_EQ(fake::CallCount(fake::Call::RegisterWindowMessageA), 0u);

    fake::StartModule();
    fake::FailNext(fake::Call::RegisterWindowMessageA);
    EXPECT_FALSE(LinkOpen(0, result));
    EXPECT_EQ(result, LINK_NO_MESSAGE);

    EXPECT_EQ(g_link.openCount, 0u);
    EXPECT_EQ(fake::CallCount(fake::Call::GlobalAddAtomA), 0u);
    EXPECT_EQ(fake::CallCount(fake::Call::CreateFileMappingA), 0u);
    ExpectNothingHeld();

    ASSERT_TRUE(LinkOpen(0, result));
    EXPECT_EQ(fake::AtomName(g_link.bufferAtom), BufferName(fake::kDefaultProcessId, 1));
}

// From the atom step on, a failure releases whatever was acquired, and the next attempt names
// its buffer with the next counter value.
TEST_F(LinkTest, FailuresFromTheAtomOnReleaseEverythingAndUseACounterValue) {
    struct Case {
        fake::Call failing;
        DWORD lastError;
        LinkResult expected;
    };
    const Case cases[] = {
        {fake::Call::GlobalAddAtomA, ERROR_NOT_ENOUGH_MEMORY, LINK_NO_ATOM},
        {fake::Call::CreateFileMappingA, ERROR_ACCESS_DENIED, LINK_NO_MAPPING},
        {fake::Call::CreateFileMappingA, ERROR_ALREADY_EXISTS, LINK_NO_MAPPING},
        {fake::Call::MapViewOfFile, ERROR_NOT_ENOUGH_MEMORY, LINK_NO_VIEW},
    };
    fake::StartModule();
    std::uint32_t attempts = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "expected " << c.expected);
        fake::FailNext(c.failing, 1, c.lastError);
        LinkResult result = -1;
        EXPECT_FALSE(LinkOpen(0, result));
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(g_link.openCount, ++attempts);
        ExpectGaveUp();
        EXPECT_FALSE(fake::BlockExists(BufferName(fake::kDefaultProcessId, attempts)));
    }
    EXPECT_EQ(fake::ExchangesHandled(), 0u);

    LinkResult result = -1;
    ASSERT_TRUE(LinkOpen(0, result));
    EXPECT_EQ(fake::AtomName(g_link.bufferAtom), BufferName(fake::kDefaultProcessId, 5));
}

// The link never shares a buffer somebody else created under its name.
TEST_F(LinkTest, NameAlreadyInUseIsRefusedAndItsHandleClosed) {
    fake::StartModule();
    const std::string name = BufferName(fake::kDefaultProcessId, 1);
    const auto theirs = fake::CreateBlockAsOtherProcess(name, kRequestBufferSize);
    theirs[0] = 0x77;
    LinkResult result = -1;
    EXPECT_FALSE(LinkOpen(0, result));
    EXPECT_EQ(result, LINK_NO_MAPPING);
    EXPECT_EQ(fake::CallCount(fake::Call::CloseHandle), 1u);
    EXPECT_EQ(fake::CallCount(fake::Call::MapViewOfFile), 0u);
    ExpectGaveUp();
    EXPECT_TRUE(fake::BlockExists(name));
    EXPECT_EQ(theirs[0], 0x77);
    EXPECT_EQ(fake::ExchangesHandled(), 0u);
}

// A module that answers but leaves a value at 0 is asked five times; only the first pass
// carries the greeting. The class it was found under decides between 7 and 14.
TEST_F(LinkTest, HandshakeWithoutValuesGivesUpAfterFivePasses) {
    for (const char* className : {"UIPCMAIN", "FS98MAIN"}) {
        SCOPED_TRACE(className);
        fresh_world::Reset();
        fake::StartModule(className);
        fake::SetModuleVersion(0);
        fake::SetModuleSimulatorWord(0);
        LinkResult result = -1;
        EXPECT_FALSE(LinkOpen(0, result));
        EXPECT_EQ(result, std::string_view(className) == "UIPCMAIN" ? LINK_BAD_VERSION
                                                                    : LINK_MODULE_NOT_RUNNING);
        EXPECT_EQ(fake::ExchangesHandled(), 5u);
        EXPECT_EQ(fake::CallCount(fake::Call::Sleep), 5u);
        EXPECT_EQ(fake::Now(), 500u);
        EXPECT_EQ(fake::ExchangeRecords(1).size(), 3u);
        for (unsigned pass = 2; pass <= 5; ++pass) {
            EXPECT_EQ(fake::ExchangeRecords(pass).size(), 2u) << "pass " << pass;
        }
        EXPECT_EQ(fake::ModuleSpace().greetingWrites, 1u);
        ExpectGaveUp();
    }
}

// Values that come only with the second exchange: that exchange has the two reads, no write.
TEST_F(LinkTest, HandshakeGoesOnUntilBothValuesHaveCome) {
    fake::StartModule();
    fake::SetModuleVersion(0);
    fake::SetAfterExchangeHook(
        [](std::span<std::uint8_t>) { fake::SetModuleVersion(kOldestVersion); });
    LinkResult result = -1;
    ASSERT_TRUE(LinkOpen(0, result));
    EXPECT_EQ(fake::ExchangesHandled(), 2u);
    EXPECT_EQ(fake::Now(), 200u);
    const auto second = fake::ExchangeRecords(2);
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0].offset, 0x3304u);
    EXPECT_EQ(second[1].offset, 0x3308u);
    EXPECT_EQ(g_link.moduleVersion, kOldestVersion);
}

TEST_F(LinkTest, HandshakeValuesAreJudgedOnceBothAreNonzero) {
    struct Case {
        std::uint32_t version;
        std::uint32_t simulatorWord;
        std::uint32_t requiredSimulator;
        LinkResult expected;
    };
    const Case cases[] = {
        {kOldestVersion, 0xFADE0001, 0, LINK_OK},
        {0xFFFFFFFF, 0xFADE0001, 1, LINK_OK},
        {kOldestVersion, 0xFADE0001, 2, LINK_WRONG_SIMULATOR},
        {kOldestVersion, 0xFADE0001, 0x00010001, LINK_WRONG_SIMULATOR},  // all 32 bits compared
        {kOldestVersion - 1, 0xFADE0001, 0, LINK_BAD_VERSION},
        {kOldestVersion, 0xFADF0001, 0, LINK_BAD_VERSION},
        {kOldestVersion, 0x00000001, 0, LINK_BAD_VERSION},
        {kOldestVersion, 0x0001FADE, 0, LINK_BAD_VERSION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.version << " " << c.simulatorWord << " "
                                        << c.requiredSimulator);
        fresh_world::Reset();
        fake::StartModule();
        fake::SetModuleVersion(c.version);
        fake::SetModuleSimulatorWord(c.simulatorWord);
        LinkResult result = -1;
        EXPECT_EQ(LinkOpen(c.requiredSimulator, result), c.expected == LINK_OK);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(fake::ExchangesHandled(), 1u);  // a refused value is not asked for again
        if (c.expected == LINK_OK) {
            EXPECT_EQ(g_link.simulatorId, 1u);
            EXPECT_EQ(g_link.moduleVersion, c.version);
        } else {
            ExpectGaveUp();
        }
    }
}

TEST_F(LinkTest, HandshakeExchangeFailuresArePassedOnAndReleaseEverything) {
    struct Case {
        DWORD timeoutError;
        DWORD_PTR answer;
        LinkResult expected;
    };
    const Case cases[] = {
        {0, 1, LINK_TIMEOUT},
        {ERROR_TIMEOUT, 1, LINK_TIMEOUT},
        {ERROR_ACCESS_DENIED, 1, LINK_SEND_FAILED},
        {ERROR_SUCCESS, 0, LINK_BAD_REPLY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "last error " << c.timeoutError);
        fresh_world::Reset();
        fake::StartModule();
        if (c.expected != LINK_BAD_REPLY) fake::TimeOutNextSends(9, c.timeoutError);
        fake::SetModuleAnswer(c.answer);
        LinkResult result = -1;
        EXPECT_FALSE(LinkOpen(0, result));
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(fake::CallCount(fake::Call::SendMessageTimeoutA),
                  c.expected == LINK_BAD_REPLY ? 1u : 9u);
        ExpectGaveUp();
    }
}

// The automatic try's probe: only a send that ran out of time is a module that does not answer.
// A send that leaves the last error alone must not be judged by an error of an earlier call.
TEST_F(LinkTest, TheProbeTakesOnlySilenceAsNotAnswering) {
    struct Case {
        const char* name;
        bool refused;                    // refused outright, else timed out
        std::optional<DWORD> sendError;  // none: the send leaves the last error alone
        bool answers;
    };
    const Case cases[] = {
        {"timed out, Windows 10 and 11", false, ERROR_TIMEOUT, false},
        {"timed out, error cleared", false, 0, false},
        {"timed out after a folder was made", false, std::nullopt, false},
        {"refused for rights", true, ERROR_ACCESS_DENIED, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake::Reset();
        fake::StartModule();
        SetLastError(ERROR_ALREADY_EXISTS);  // as the log's CreateDirectoryW leaves it
        if (c.refused) {
            fake::FailNext(fake::Call::SendMessageTimeoutA, 1, *c.sendError);
        } else {
            fake::TimeOutNextSends(1, c.sendError);
        }
        EXPECT_EQ(LinkModuleAnswers(250), c.answers);
        EXPECT_EQ(fake::LastSend().message, static_cast<UINT>(WM_NULL));
    }
}

TEST_F(LinkTest, SecondOpenLeavesTheOpenLinkUsable) {
    ASSERT_EQ(OpenLinkToModule(), LINK_OK);
    const LinkState before = g_link;
    const unsigned finds = fake::CallCount(fake::Call::FindWindowExA);
    LinkResult result = -1;
    EXPECT_FALSE(LinkOpen(0, result));
    EXPECT_EQ(result, LINK_ALREADY_OPEN);
    EXPECT_EQ(fake::CallCount(fake::Call::FindWindowExA), finds);
    EXPECT_EQ(g_link.bufferStart, before.bufferStart);
    EXPECT_EQ(g_link.bufferAtom, before.bufferAtom);
    EXPECT_EQ(g_link.openCount, before.openCount);
    EXPECT_EQ(g_link.simulatorId, before.simulatorId);
    EXPECT_EQ(fake::LiveAtomCount(), 1u);
    EXPECT_EQ(fake::LiveHandleCount(), 1u);

    std::uint32_t version = 0;
    ASSERT_TRUE(LinkRead(0x3304, 4, &version, result));
    ASSERT_TRUE(LinkProcess(result));
    EXPECT_EQ(version, kOldestVersion);
}

TEST_F(LinkTest, CloseReleasesOnceAndMayBeRepeated) {
    LinkClose();  // never opened
    EXPECT_EQ(fake::CallCount(fake::Call::GlobalDeleteAtom), 0u);
    EXPECT_EQ(fake::CallCount(fake::Call::UnmapViewOfFile), 0u);
    EXPECT_EQ(fake::CallCount(fake::Call::CloseHandle), 0u);

    ASSERT_EQ(OpenLinkToModule(), LINK_OK);
    const std::string name = BufferName(fake::kDefaultProcessId, 1);
    LinkClose();
    LinkClose();
    EXPECT_EQ(fake::CallCount(fake::Call::GlobalDeleteAtom), 1u);
    EXPECT_EQ(fake::CallCount(fake::Call::UnmapViewOfFile), 1u);
    EXPECT_EQ(fake::CallCount(fake::Call::CloseHandle), 1u);
    ExpectGaveUp();
    EXPECT_FALSE(fake::BlockExists(name));

    // Reopening takes a fresh name; the counter is never reset.
    LinkResult result = -1;
    ASSERT_TRUE(LinkOpen(0, result));
    EXPECT_EQ(fake::AtomName(g_link.bufferAtom), BufferName(fake::kDefaultProcessId, 2));
    EXPECT_EQ(QueuedBytes(), 0u);
}

}  // namespace
