// The panel's words: a reason for every way the link fails, and the three lines in each state
// the window reaches, composed from the real state of a fake world.
#include "panel/panel.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "bridge/connection.h"
#include "tests/fresh_world/fresh_world.h"
#include "tests/unit/cycle_world.h"

namespace {

bool BeginsWith(const std::string& line, const std::string& start) {
    return line.compare(0, start.size(), start) == 0;
}

TEST(LinkFailureReasonTest, EachFailureHasItsOwnSentenceSayingWhatToDo) {
    struct Case {
        LinkResult code;
        DWORD lastSendError;
        const char* says;
    };
    const Case cases[] = {
        {LINK_ALREADY_OPEN, 0, "open already"},
        {LINK_NO_SIMULATOR, 0, "start the simulator"},
        {LINK_NO_MESSAGE, 0, "register the module's message"},
        {LINK_NO_ATOM, 0, "global names"},
        {LINK_NO_MAPPING, 0, "could not be created"},
        {LINK_NO_VIEW, 0, "could not be mapped"},
        {LINK_BAD_VERSION, 0, "version"},
        {LINK_WRONG_SIMULATOR, 0, "another simulator"},
        {LINK_NOT_OPEN, 0, "not open"},
        {LINK_NOTHING_QUEUED, 0, "nothing to send"},
        {LINK_TIMEOUT, 0, "did not answer"},
        {LINK_SEND_FAILED, ERROR_INVALID_HANDLE, "could not deliver"},
        {LINK_SEND_FAILED, ERROR_ACCESS_DENIED, "runs as administrator"},
        {LINK_BAD_REPLY, 0, "refused it"},
        {LINK_MODULE_NOT_RUNNING, 0, "IPC module does not answer"},
        {LINK_QUEUE_FULL, 0, "overflowed"},
        {LINK_READ_LEFT_OUT, 0, "module's reply left the read"},
        {42, 0, "does not know"},
    };
    std::set<std::string> sentences;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const std::string sentence = LinkFailureReason(c.code, c.lastSendError);
        EXPECT_NE(sentence.find(c.says), std::string::npos) << sentence;
        EXPECT_EQ(sentence.back(), '.');
        EXPECT_TRUE(sentences.insert(sentence).second) << "said for another failure too";
    }
    // Access denied matters only for a send that failed; a timeout stays a timeout.
    EXPECT_EQ(std::string(LinkFailureReason(LINK_TIMEOUT, ERROR_ACCESS_DENIED)),
              LinkFailureReason(LINK_TIMEOUT, 0));
}

// Sends that all failed: the system's last error chooses the sentence. A window that took the
// message and did not answer in time (1460) is a frozen simulator, not a closed one.
TEST(LinkFailureReasonTest, TheLastSendErrorChoosesTheSentence) {
    const struct {
        DWORD lastSendError;
        const char* says;
    } cases[] = {
        {0, "could not deliver"},
        {ERROR_ACCESS_DENIED, "runs as administrator"},
        {1400, "could not deliver"},  // no such window: the module has gone
        {ERROR_TIMEOUT, "check that the simulator is not frozen"},
    };
    for (const auto& c : cases) {
        const std::string sentence = LinkFailureReason(LINK_SEND_FAILED, c.lastSendError);
        EXPECT_NE(sentence.find(c.says), std::string::npos) << c.lastSendError << ": " << sentence;
    }
}

struct Panel {
    std::string module, addon, bridge;
};

Panel Compose(BridgePhase phase, LinkResult status) {
    PanelLines lines;
    ComposePanel({phase, status}, lines);
    return {lines.module, lines.addon, lines.bridge};
}

class PanelTest : public ::testing::Test {
  protected:
    void SetUp() override { fresh_world::Reset(); }
};

TEST_F(PanelTest, SaysWhichSideWasNotReachedAndWhy) {
    Panel panel = Compose(BridgePhase::NotStarted, ConnectBothSides());
    EXPECT_PRED2(BeginsWith, panel.module, "Simulator module: not connected. No simulator module");
    EXPECT_PRED2(BeginsWith, panel.addon, "Add-on: not looked for");
    EXPECT_PRED2(BeginsWith, panel.bridge, "Bridge: not started;");

    fake::StartModule();
    DisconnectBothSides();
    panel = Compose(BridgePhase::NotStarted, ConnectBothSides());
    EXPECT_EQ(panel.module,
              "Simulator module: connected, module version 0x19980005, simulator id 1.");
    EXPECT_PRED2(BeginsWith, panel.addon, "Add-on: not found. Load the aircraft");

    fake::CreateBlockAsOtherProcess(cycle_world::kStateBlock, kStateViewSize);
    DisconnectBothSides();
    panel = Compose(BridgePhase::NotStarted, ConnectBothSides());
    EXPECT_PRED2(BeginsWith, panel.addon, "Add-on: connected without its command block");
    EXPECT_EQ(panel.bridge, "Bridge: not started yet; it starts in 2 seconds.");

    // Both sides opened, then the module did not answer the read of its block.
    DisconnectBothSides();
    cycle_world::HangAfterHandshake(ERROR_TIMEOUT);
    panel = Compose(BridgePhase::NotStarted, ConnectBothSides());
    EXPECT_PRED2(BeginsWith, panel.module, "Simulator module: lost. It did not answer");
    EXPECT_PRED2(BeginsWith, panel.addon, "Add-on: connected without its command block");
    EXPECT_PRED2(BeginsWith, panel.bridge, "Bridge: not started;");
}

TEST_F(PanelTest, CountsWhileRunningAndSaysWhenTheModuleWasLost) {
    ASSERT_NO_FATAL_FAILURE(cycle_world::Open());
    EXPECT_EQ(Compose(BridgePhase::Running, LINK_OK).addon, "Add-on: connected.");
    ASSERT_EQ(RunCycle(), LINK_OK);
    EXPECT_EQ(Compose(BridgePhase::Running, LINK_OK).bridge,
              "Bridge: running, 1 cycles, no command forwarded yet.");
    cycle_world::PostCode(1234);
    ASSERT_EQ(RunCycle(), LINK_OK);
    EXPECT_EQ(Compose(BridgePhase::Running, LINK_OK).bridge,
              "Bridge: running, 2 cycles, 1 command forwarded, the last 1234 with 0.");

    fake::TimeOutNextSends(9, ERROR_ACCESS_DENIED);
    const LinkResult stop = RunCycle();
    ASSERT_EQ(stop, LINK_SEND_FAILED);
    const Panel panel = Compose(BridgePhase::Stopped, stop);
    EXPECT_PRED2(BeginsWith, panel.module, "Simulator module: lost. Access denied");
    EXPECT_PRED2(BeginsWith, panel.addon, "Add-on: connected.");
    EXPECT_PRED2(BeginsWith, panel.bridge, "Bridge: stopped after 3 cycles");
}

}  // namespace
