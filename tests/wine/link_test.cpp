// The link against the stand-in module in a second process: the window found by class, the
// request buffer reached through its atom and name, the handshake and the exchanges, as real
// Win32 carries them between processes.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "simlink/simlink.h"
#include "tests/wine/stand_in_fixture.h"

namespace {

class LinkAgainstModuleTest : public StandInTest {
  protected:
    void SetUp() override { ResetLinkStateForTest(); }
    void TearDown() override {
        LinkClose();
        StandInTest::TearDown();
    }
};

TEST_F(LinkAgainstModuleTest, OpensExchangesAndCloses) {
    ASSERT_TRUE(StartModule());
    LinkResult result = -1;
    ASSERT_TRUE(LinkOpen(0, result));
    EXPECT_EQ(result, LINK_OK);
    EXPECT_EQ(g_link.moduleVersion, 0x19980005u);
    EXPECT_EQ(g_link.simulatorId, 1u);
    // One exchange carried both reads and the greeting; the marker outlived the greeting.
    EXPECT_EQ(ExchangeCount(offsets_), 1u);
    EXPECT_EQ(LastGreeting(offsets_), 0x07D2);
    EXPECT_EQ(ModuleOffset32(0x3308), 0xFADE0001u);

    // A write at an odd offset lands in the module's space...
    const std::uint8_t written[5] = {0x11, 0x22, 0x33, 0x44, 0x55};
    ASSERT_TRUE(LinkWrite(0x9473, sizeof written, written, result));
    ASSERT_TRUE(LinkProcess(result));
    std::uint8_t landed[5] = {};
    ReadOffsets(offsets_, 0x9473, landed, sizeof landed);
    EXPECT_EQ(std::memcmp(landed, written, sizeof written), 0);

    // ...and comes back in a later exchange, together with a value another process planted.
    const std::uint32_t planted = 0x600DF00D;
    WriteOffsets(offsets_, 0x66C0, &planted, sizeof planted);
    std::uint8_t readBack[5] = {};
    std::uint32_t plantedBack = 0;
    ASSERT_TRUE(LinkRead(0x9473, sizeof readBack, readBack, result));
    ASSERT_TRUE(LinkRead(0x66C0, sizeof plantedBack, &plantedBack, result));
    ASSERT_TRUE(LinkProcess(result));
    EXPECT_EQ(std::memcmp(readBack, written, sizeof written), 0);
    EXPECT_EQ(plantedBack, planted);
    EXPECT_EQ(ExchangeCount(offsets_), 3u);

    // Closing gives the buffer's name back: its atom is gone from the global table.
    char bufferName[64];
    std::snprintf(bufferName, sizeof bufferName, "FsasmLib:IPC:%lX:1", GetCurrentProcessId());
    EXPECT_NE(GlobalFindAtomA(bufferName), 0);
    LinkClose();
    EXPECT_EQ(GlobalFindAtomA(bufferName), 0);
    EXPECT_FALSE(LinkRead(0x9473, 1, readBack, result));
    EXPECT_EQ(result, LINK_NOT_OPEN);
}

TEST_F(LinkAgainstModuleTest, TellsAWindowWithoutModuleFromAModule) {
    ASSERT_TRUE(StartModule("--class FS98MAIN --version 0 --marker 0"));
    LinkResult result = -1;
    EXPECT_FALSE(LinkOpen(0, result));
    EXPECT_EQ(result, LINK_MODULE_NOT_RUNNING);
    EXPECT_EQ(ExchangeCount(offsets_), 5u);  // every handshake pass asked again
    EXPECT_EQ(g_link.bufferStart, nullptr);
}

TEST_F(LinkAgainstModuleTest, FindsNoModuleWithoutItsWindow) {
    LinkResult result = -1;
    EXPECT_FALSE(LinkOpen(0, result));
    EXPECT_EQ(result, LINK_NO_SIMULATOR);
}

TEST_F(LinkAgainstModuleTest, GivesUpOnARefusedExchangeWithoutAskingAgain) {
    ASSERT_TRUE(StartModule("--answer 0"));
    LinkResult result = -1;
    EXPECT_FALSE(LinkOpen(0, result));
    EXPECT_EQ(result, LINK_BAD_REPLY);
    EXPECT_EQ(ExchangeCount(offsets_), 1u);
    EXPECT_EQ(g_link.bufferStart, nullptr);
}

}  // namespace
