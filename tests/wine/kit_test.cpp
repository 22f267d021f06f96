// The kit as a user runs it: the stand-in add-on playing a scenario file, the bridge's cycle run
// here as Quorvane runs it, and the block read from the stand-in module. What the scenario asks
// for must be what a panel reads; a turned counter must move its display back through the
// echo; neither stand-in may start beside a module or an add-on that already runs.
#include <cstdint>
#include <cstdio>
#include <string>

#include "bridge/bridge.h"
#include "sdk/sdk.h"
#include "simlink/simlink.h"
#include "tests/wine/stand_in_fixture.h"

namespace {

class KitTest : public StandInTest {
  protected:
    void TearDown() override {
        SdkClose();
        SdkCloseCommandBlock();  // else the next add-on would find its command block taken
        LinkClose();
        std::remove(scenarioPath_.c_str());
        StandInTest::TearDown();
    }

    // The scenario file the next add-on plays.
    ::testing::AssertionResult WriteScenario(const char* scenario) {
        scenarioPath_ = ExecutableDirectory() + "kit_test_scenario.txt";
        std::FILE* file = std::fopen(scenarioPath_.c_str(), "wb");
        if (file == nullptr) return ::testing::AssertionFailure() << "cannot write the scenario";
        std::fputs(scenario, file);
        std::fclose(file);
        return ::testing::AssertionSuccess();
    }

    // The module, then the add-on playing `scenario` with `options`, then the bridge between.
    ::testing::AssertionResult StartKit(const char* scenario, const std::string& options = "") {
        ::testing::AssertionResult started = WriteScenario(scenario);
        if (started) started = StartModule();
        if (started) started = StartAddon("\"" + scenarioPath_ + "\" " + options);
        if (!started) return started;
        ResetLinkStateForTest();
        ResetSdkViews();
        ResetBridgeState();
        if (!LinkOpen(0, g_bridge.linkResult) || SdkOpen() != LINK_OK) {
            return ::testing::AssertionFailure() << "the bridge cannot open both sides";
        }
        return ::testing::AssertionSuccess();
    }

    // Runs cycles 10 ms apart until `done` holds; false after five seconds.
    template <typename Condition>
    bool CycleUntil(Condition done) {
        for (int cycle = 0; cycle < 500; ++cycle) {
            if (RunCycle() != LINK_OK) return false;
            if (done()) return true;
            Sleep(10);
        }
        return false;
    }

    std::uint32_t Block(std::uint32_t offset, std::size_t size) const {
        std::uint32_t value = 0;
        ReadOffsets(offsets_, offset, &value, size);
        return value;
    }

    std::string scenarioPath_;
};

// One step of every kind; the lamp bit of 0x9403 goes on and off again in each round.
TEST_F(KitTest, ThePanelReadsWhatTheScenarioAsks) {
    ASSERT_TRUE(
        StartKit("0 display 1 35000\n0 display 0x943C 1200\n0 display 3 blank\n"
                 "0 lamp 0x9402 3 on\n0 value 0x9484 -1\n0 value 0x949D 65535\n"
                 "0 lamp 0x9403 7 off\n0.3 lamp 0x9403 7 on\n0.6 repeat\n"));
    const struct {
        std::uint32_t offset;
        std::size_t size;
        std::uint32_t value;
    } asked[] = {{0x9430, 2, 35000}, {0x943C, 2, 1200}, {0x9434, 2, 0xFFFF},
                 {0x9402, 1, 0x08},  {0x9484, 1, 0xFF}, {0x949D, 2, 0xFFFF}};
    for (const auto& value : asked) {
        EXPECT_TRUE(CycleUntil([&] { return Block(value.offset, value.size) == value.value; }))
            << std::hex << value.offset << " reads " << Block(value.offset, value.size);
    }
    int changes = 0;
    std::uint32_t lamp = Block(0x9403, 1);
    EXPECT_TRUE(CycleUntil([&] {
        if (Block(0x9403, 1) != lamp) ++changes;
        lamp = Block(0x9403, 1);
        return changes >= 4;
    })) << "the lamp of bit 7 of 0x9403 changed "
        << changes << " times";
    EXPECT_TRUE(addon_.WaitForOutput("round 3, from the start")) << addon_.Output();
}

TEST_F(KitTest, ATurnedCounterMovesItsDisplayThroughTheEcho) {
    ASSERT_TRUE(StartKit("0 display 6 1000\n", "--echo"));
    ASSERT_TRUE(CycleUntil([&] { return Block(0x943A, 2) == 1000; }));
    const std::uint8_t turns[] = {2, 255};  // +2 steps of 100, then -3
    const std::uint32_t shown[] = {1200, 900};
    for (std::size_t i = 0; i < 2; ++i) {
        WriteOffsets(offsets_, 0x94F0, &turns[i], 1);
        EXPECT_TRUE(CycleUntil([&] { return Block(0x943A, 2) == shown[i]; }))
            << "display 6 reads " << Block(0x943A, 2) << "\n"
            << addon_.Output();
    }
    EXPECT_TRUE(
        addon_.WaitForOutput("command 1232 parameter 1200\n"
                             "    encoder 0 (counter 0x94F0) targets display 6 (0x943A)\n"
                             "    echo: display 6 shows 1200\n"))
        << addon_.Output();
}

// A change of scenario while Quorvane runs: the kit add-on ended and started again takes over
// the mappings Quorvane's views keep alive, and the bridge, connected all along, carries the new
// values and commands. Beside a mapping without the kit's mark (the real add-on's) it refuses.
TEST_F(KitTest, AKitAddonStartedAgainTakesOverTheMappingsTheBridgeHolds) {
    ASSERT_TRUE(StartKit("0 display 1 1111\n0 value 0x9484 5\n"));
    ASSERT_TRUE(CycleUntil([&] { return Block(0x9430, 2) == 1111; }));
    addon_.Stop();
    ASSERT_EQ(addon_.ExitCode(), 0u) << addon_.Output();

    ASSERT_TRUE(WriteScenario("0 display 1 2222\n"));
    ASSERT_TRUE(StartAddon("\"" + scenarioPath_ + "\""));
    EXPECT_NE(addon_.Output().find("took over the mappings a kit add-on left"), std::string::npos)
        << addon_.Output();
    EXPECT_TRUE(CycleUntil([&] { return Block(0x9430, 2) == 2222 && Block(0x9484, 1) == 0; }))
        << "display 1 reads " << Block(0x9430, 2) << ", 0x9484 reads " << Block(0x9484, 1);
    const std::int16_t code = 777;
    WriteOffsets(offsets_, 0x9400, &code, sizeof code);
    EXPECT_TRUE(CycleUntil([&] { return Block(0x9400, 2) == 0xFFFF; }));
    EXPECT_TRUE(addon_.WaitForOutput("command 777 parameter 0\n")) << addon_.Output();

    // The bridge lets go and the kit's mappings are gone; a mapping of the real add-on's size
    // carries no mark.
    addon_.Stop();
    SdkClose();
    SdkCloseCommandBlock();
    const HANDLE real = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                           kStateViewSize, kStateMappingName);
    ASSERT_NE(real, nullptr);
    ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    StandInProcess second;
    ASSERT_TRUE(second.Start("kit-addon.exe", ""));
    ASSERT_TRUE(second.WaitForExit(20000));
    EXPECT_EQ(second.ExitCode(), 3u) << second.Output();
    EXPECT_NE(second.Output().find("the aircraft add-on is running"), std::string::npos)
        << second.Output();
    CloseHandle(real);
}

// --help is asked for, and ends well; a wrong option ends as a scenario not understood does.
TEST_F(KitTest, TheKitAddonAnswersHelpWith0AndAWrongOptionWith2) {
    const struct {
        const char* arguments;
        DWORD exitCode;
    } runs[] = {{"--help", 0}, {"-h", 0}, {"--no-such-option", 2}};
    for (const auto& run : runs) {
        StandInProcess addon;
        ASSERT_TRUE(addon.Start("kit-addon.exe", run.arguments));
        ASSERT_TRUE(addon.WaitForExit(20000)) << run.arguments;
        EXPECT_EQ(addon.ExitCode(), run.exitCode) << run.arguments << "\n" << addon.Output();
        EXPECT_NE(addon.Output().find("usage: kit-addon"), std::string::npos) << addon.Output();
    }
}

// Each says why and ends with 3; a scenario that cannot be read ends with 2 before that. A kit
// module already running ends with 3 once a simulator's window appears.
TEST_F(KitTest, NeitherStandInStartsBesideTheRealThing) {
    ASSERT_TRUE(StartModule());
    ASSERT_TRUE(StartAddon());
    const struct {
        const char* program;
        const char* arguments;
        DWORD exitCode;
        const char* says;
    } refusals[] = {
        {"kit-module.exe", "", 3, "a simulator module window (class UIPCMAIN) exists already"},
        {"kit-addon.exe", "", 3,
         "the add-on's state mapping iFly737NG_SDK_FileMappingObject exists"},
        {"kit-addon.exe", "no-such-scenario.txt", 2, "cannot open no-such-scenario.txt"},
    };
    for (const auto& refusal : refusals) {
        StandInProcess second;
        ASSERT_TRUE(second.Start(refusal.program, refusal.arguments));
        ASSERT_TRUE(second.WaitForExit(20000)) << refusal.program;
        EXPECT_EQ(second.ExitCode(), refusal.exitCode) << second.Output();
        EXPECT_NE(second.Output().find(refusal.says), std::string::npos) << second.Output();
    }

    // A simulator started after the kit module: the module makes way.
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kModuleWindowClasses[1];
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    const HWND simulator =
        CreateWindowExA(0, kModuleWindowClasses[1], "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                        nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(simulator, nullptr);
    EXPECT_TRUE(module_.WaitForExit(5000));
    EXPECT_EQ(module_.ExitCode(), 3u);
    EXPECT_NE(module_.Output().find("(class FS98MAIN) appeared"), std::string::npos)
        << module_.Output();
    DestroyWindow(simulator);
}

// What a panel builder types: --help is an answer, anything not understood is refused with the
// usage; a frame's jitter means nothing without its length.
TEST_F(StandInTest, TheKitModulesCommandLine) {
    const struct {
        const char* arguments;
        DWORD exitCode;
        const char* says;
    } lines[] = {
        {"--help", 0, "--frame-jitter-ms J"},
        {"--no-such-option", 2, "usage: kit-module"},
        {"--frame-jitter-ms 5", 2, "usage: kit-module"},
        {"--frame-ms 0", 2, "usage: kit-module"},
    };
    for (const auto& line : lines) {
        StandInProcess module;
        ASSERT_TRUE(module.Start("kit-module.exe", line.arguments));
        ASSERT_TRUE(module.WaitForExit(20000)) << line.arguments;
        EXPECT_EQ(module.ExitCode(), line.exitCode) << line.arguments;
        EXPECT_NE(module.Output().find(line.says), std::string::npos) << module.Output();
    }
}

// A module drawing frames answers between them: a client that sends once the module has gone
// back to drawing (as Quorvane's cycles do, on a tick after the answer) gets one exchange a
// frame. (Sends made back to back may all be handled in one pass of the queue, as a simulator
// handles them.)
TEST_F(StandInTest, AFrameModuleAnswersOnceAFrame) {
    ASSERT_TRUE(StartModule("--frame-ms 20 --frame-jitter-ms 10"));
    ResetLinkStateForTest();
    LinkResult result = -1;
    ASSERT_TRUE(LinkOpen(0, result)) << result;
    constexpr std::uint32_t kExchanges = 20;
    const std::uint32_t framesBefore = FrameCount(offsets_);
    for (std::uint32_t i = 0; i < kExchanges; ++i) {
        Sleep(5);
        std::uint32_t version = 0;
        ASSERT_TRUE(LinkRead(0x3304, 4, &version, result) && LinkProcess(result)) << result;
    }
    LinkClose();
    EXPECT_GE(FrameCount(offsets_) - framesBefore, kExchanges - 2);
}

}  // namespace
