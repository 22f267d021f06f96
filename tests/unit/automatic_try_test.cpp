// An automatic try first asks the module's window whether it answers at all, so that a
// simulator that is loading or frozen never holds Quorvane's window for the handshake's nine
// 2 s sends; the start and File > Reconnect keep the handshake as it is.
#include <gtest/gtest.h>

#include <string>

#include "shell/bridge_run.h"
#include "shell/shell.h"
#include "tests/unit/cycle_world.h"

namespace {

HWND const kWindow = reinterpret_cast<HWND>(0x1234);

TEST(AutomaticTryTest, AsksTheModulesWindowFirstAndGivesUpOnSilenceWithinAQuarterSecond) {
    enum World { Answering, Silent, SilentAndHung, RefusingForRights, NoModule };
    struct Case {
        const char* name;
        World world;
        bool automatic;
        LinkResult status;
        std::uint64_t mostMs;  // the window thread held at most this long
    };
    const Case cases[] = {
        {"answering", Answering, true, LINK_OK, 2000},
        {"silent", Silent, true, STATUS_MODULE_NOT_ANSWERING, kModuleProbeTimeoutMs},
        {"hung, no error given", SilentAndHung, true, STATUS_MODULE_NOT_ANSWERING,
         kModuleProbeTimeoutMs},
        // The handshake's own send then fails at once and says why in its words.
        {"refusing for rights", RefusingForRights, true, LINK_OK, 2000},
        {"no module", NoModule, true, LINK_NO_SIMULATOR, 0},
        // File > Reconnect makes the handshake as ever: its first send waits out its 2 s.
        {"silent, File > Reconnect", Silent, false, LINK_OK, 5000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(cycle_world::Open());
        g_shell.status = LINK_TIMEOUT;
        if (c.world == NoModule) fake::RemoveWindow(g_link.moduleWindow);
        if (c.world == Silent) fake::TimeOutNextSends(1);
        if (c.world == SilentAndHung) fake::TimeOutNextSends(1, 0);
        if (c.world == RefusingForRights) {
            fake::FailNext(fake::Call::SendMessageTimeoutA, 1, ERROR_ACCESS_DENIED);
        }
        const std::uint64_t start = fake::Now();
        const unsigned sends = fake::CallCount(fake::Call::SendMessageTimeoutA);
        ReconnectBothSides(kWindow, c.automatic);
        EXPECT_EQ(g_shell.status, c.status);
        EXPECT_LE(fake::Now() - start, c.mostMs);
        if (c.status == STATUS_MODULE_NOT_ANSWERING) {
            EXPECT_EQ(fake::CallCount(fake::Call::SendMessageTimeoutA), sends + 1) << "handshake";
            EXPECT_EQ(fake::LastSend().message, WM_NULL);
            EXPECT_EQ(fake::LiveAtomCount() + fake::LiveHandleCount() + fake::LiveViewCount(), 0u);
            PanelLines lines;
            ComposePanel({BridgePhase::NotStarted, g_shell.status}, lines);
            EXPECT_STREQ(lines.module,
                         "Simulator module: not answering; it may be loading or frozen.");
        }
    }
    // Both sides connected, but no clock to pace them: the module and the add-on are fine.
    PanelLines lines;
    ComposePanel({BridgePhase::NotStarted, STATUS_NO_CYCLE_CLOCK}, lines);
    EXPECT_EQ(std::string(lines.module).find("Simulator module: connected"), 0u) << lines.module;
    EXPECT_STREQ(lines.bridge,
                 "Bridge: not started; Windows gave no timer to pace it. Choose File > Reconnect.");
}

}  // namespace
