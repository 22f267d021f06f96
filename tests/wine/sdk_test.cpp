// The SDK views against the stand-in add-on in a second process: its mappings opened by their
// wide names, the state read as the add-on wrote it, commands taken by the add-on as it polls.
#include "sdk/sdk.h"

#include <cstdint>
#include <cstring>

#include "tests/wine/stand_in_fixture.h"
#include "tools/kit-addon/addon_blocks.h"

namespace {

class SdkAgainstAddonTest : public StandInTest {
  protected:
    void SetUp() override { ResetSdkViews(); }
    void TearDown() override {
        SdkClose();
        StandInTest::TearDown();
    }
};

TEST_F(SdkAgainstAddonTest, ReadsTheStateAndDeliversEveryCommand) {
    ASSERT_TRUE(StartAddon("--set 0x024=1 --set-double 0x008=250.5"));
    ASSERT_EQ(SdkOpen(), LINK_OK);
    ASSERT_TRUE(SdkCommandViewMapped());
    std::int32_t lamp = 0;
    double value = 0.0;
    std::memcpy(&lamp, SdkStateView() + 0x024, sizeof lamp);
    std::memcpy(&value, SdkStateView() + 0x008, sizeof value);
    EXPECT_EQ(lamp, 1);
    EXPECT_EQ(value, 250.5);

    // Command 0 is a command like any other: the add-on tells it from "none" by -1.
    SdkSendCommand(1235, 0.79);
    EXPECT_TRUE(addon_.WaitForOutput("command 1235 parameter 0.79\n")) << addon_.Output();
    SdkSendCommand(0, 0.0);
    EXPECT_TRUE(addon_.WaitForOutput("command 0 parameter 0\n")) << addon_.Output();
    std::int32_t code = 0;
    std::memcpy(&code, g_sdk.commandView + kCommandCodeAt, sizeof code);
    EXPECT_EQ(code, kNoCommand);
}

TEST_F(SdkAgainstAddonTest, FindsNoStateWithoutTheAddon) {
    EXPECT_EQ(SdkOpen(), STATUS_SDK_UNAVAILABLE);
    EXPECT_FALSE(SdkCommandViewMapped());
}

}  // namespace
