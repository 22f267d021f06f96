// The kit's scenarios against the bridge itself: each step, written into the add-on's state
// block, must reach the module as exactly the bytes it names; each faulty line is refused with
// its number and reason; the encoder echo makes a display show the command's target.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/fresh_world/fresh_world.h"
#include "tests/unit/export_world.h"
#include "tools/scenario/encoder_echo.h"
#include "tools/scenario/real_thing.h"
#include "tools/scenario/scenario.h"

namespace {

using export_world::ModuleByte;
using Errors = std::vector<std::string>;

constexpr std::uint32_t kExportStart = 0x9402;
constexpr std::uint32_t kExportEnd = 0x94F0;

struct Landing {
    const char* scenario;
    std::uint32_t offset;
    std::vector<std::uint8_t> bytes;  // there; every other exported byte stays 0
};

class KitStepLands : public export_world::CycleExportTest,
                     public ::testing::WithParamInterface<Landing> {};

TEST_P(KitStepLands, AsTheScenarioAsks) {
    const Landing& landing = GetParam();
    Scenario scenario;
    std::vector<std::string> errors;
    ASSERT_TRUE(ReadScenario(landing.scenario, scenario, errors)) << errors[0];
    for (const ScenarioStep& step : scenario.steps) {
        ApplyFieldWrites(step.writes, StateBlock().data());
    }
    Cycle();
    for (std::uint32_t offset = kExportStart; offset < kExportEnd; ++offset) {
        const std::size_t at = offset - landing.offset;
        const std::uint8_t expected = at < landing.bytes.size() ? landing.bytes[at] : 0;
        EXPECT_EQ(ModuleByte(offset), expected) << std::hex << "0x" << offset;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryWord, KitStepLands,
    ::testing::Values(
        Landing{"0 display 1 35000", 0x9430, {0xB8, 0x88}},
        Landing{"0 display 0x943C 1200", 0x943C, {0xB0, 0x04}},
        Landing{"0 display 22 12345", 0x945A, {0x39, 0x30}},  // units first
        Landing{"0 display 13 7", 0x9448, {7, 0}},
        Landing{"0 display 1 65535", 0x9430, {0xFF, 0xFF}},
        Landing{"0 DISPLAY 2 Blank", 0x9432, {0xFF, 0xFF}},
        Landing{"0 display 3 5\n1 display 3 blank", 0x9434, {0xFF, 0xFF}},
        Landing{"0 lamp 0x9402 3 on", 0x9402, {0x08}},
        Landing{"0 lamp 0x9402 3 on\n0 lamp 0x9402 1 on\n2.5 lamp 0x9402 3 off", 0x9402, {0x02}},
        Landing{"\xEF\xBB\xBF# lamp test\r\n\r\n0 lamp 0x9426 2 on # lit\r\n", 0x9426, {0x04}},
        Landing{"0 value 0x9484 -1", 0x9484, {0xFF}}, Landing{"0 value 0x9484 200", 0x9484, {0xC8}},
        Landing{"0 value 0x9480 -1", 0x9480, {0xFF, 0xFF}},
        Landing{"0 value 0x949D 65535", 0x949D, {0xFF, 0xFF}},  // odd offset
        Landing{"0 value 0x94EF 12\n3 repeat", 0x94EF, {12}}));

struct Refusal {
    std::string scenario;
    const char* error;  // the first message begins with this
};

TEST(KitScenario, RefusesEachFaultyLineWithItsNumberAndWhy) {
    const Refusal refusals[] = {
        {"0 lamps 0x9402 3 on", "line 1: unknown word \"lamps\""},
        {"display 1 5", "line 1: \"display\" is not a time"},
        {"-1 display 1 5", "line 1: \"-1\" is not a time"},
        {"# start\n2 display 1 5\n1 display 1 6", "line 3: time 1 comes before the 2"},
        {"0 display 1", "line 1: display reads: TIME display NUMBER|OFFSET VALUE|blank"},
        {"5", "line 1: a time without a step"},
        {"0 display 34 5", "line 1: no display \"34\""},
        {"0 display 0x9431 5", "line 1: no display \"0x9431\""},
        {"0 display 3 1000", "line 1: display 3 (3 digits, 16 bits) shows 0..999, not 1000"},
        {"0 display 1 70000", "line 1: display 1 (5 digits, 16 bits) shows 0..65535, not 70000"},
        {"0 display 3 -1", "line 1: display 3 (3 digits, 16 bits) shows 0..999, not -1"},
        {"0 display 3 1.5", "line 1: \"1.5\" is neither a whole number nor blank"},
        {"0 lamp 0x9402 0 on", "line 1: no field of the add-on feeds bit 0 of 0x9402"},
        {"0 lamp 0x9408 3 on", "line 1: no field of the add-on feeds bit 3 of 0x9408"},
        {"0 lamp 0x9427 0 on", "line 1: 0x9427 is not a lamp byte"},
        {"0 lamp 0x9402 8 on", "line 1: \"8\" is not a bit 0..7"},
        {"0 lamp 0x9402 3 lit", "line 1: \"lit\" is neither on nor off"},
        {"0 value 0x9484 256",
         "line 1: 0x9484 carries one byte of an int32 field: whole "
         "numbers -128..255, not 256"},
        {"0 value 0x9484 -129", "line 1: 0x9484 carries one byte"},
        {"0 value 0x9480 65536",
         "line 1: 0x9480 carries 16 bits of a double field: whole "
         "numbers -32768..65535, not 65536"},
        {"0 value 0x9480 250.5", "line 1: 0x9480 carries 16 bits of a double field"},
        {"0 value 0x949E 1", "line 1: 0x949E is the second byte of the 16-bit value 0x949D"},
        {"0 value 0x94F0 1", "line 1: 0x94F0 is not a single value"},
        {"0 value 0x9480 1e3", "line 1: \"1e3\" is not a number"},
        {"1 repeat\n2 display 1 5", "line 2: the repeat of line 1 is the last step"},
        {"0 repeat", "line 1: a repeat at time 0 would play the steps without end"},
        {"1 repeat now", "line 1: repeat reads: TIME repeat"},
        {"0 display 1 5\n2 lamp 0x9402 3 on\n2 repeat",
         "line 3: the step of line 2 is at the repeat's time"},
        {"1" + std::string(400, '0') + " display 1 5", "line 1: \"10000"},
        {"0 value 0x9480 1" + std::string(400, '0'), "line 1: \"10000"},
        {std::string("\xFF\xFE"
                     "0\0 \0r\0",
                     8),
         "the file is UTF-16 (Notepad's \"Unicode\"): save it as UTF-8"},
        {std::string("\xFE\xFF\0"
                     "0",
                     4),
         "the file is UTF-16"},
    };
    for (const Refusal& refusal : refusals) {
        Scenario scenario;
        std::vector<std::string> errors;
        EXPECT_FALSE(ReadScenario(refusal.scenario, scenario, errors)) << refusal.scenario;
        ASSERT_FALSE(errors.empty()) << refusal.scenario;
        EXPECT_EQ(errors[0].rfind(refusal.error, 0), 0u) << errors[0];
    }
}

// Numbers written the European way, and offsets without their 0x: the refusal says what to
// write instead.
TEST(KitScenario, RefusalsOfEuropeanNumbersSayWhatToWrite) {
    const struct {
        const char* scenario;
        const char* hint;  // the first message ends with this
    } refusals[] = {
        {"0,5 display 1 5", "; use a dot: 0.5"},
        {"0 value 0x9480 0,5", "\"0,5\" is not a number; use a dot: 0.5"},
        {"0 display 6 35,000", "; write whole numbers without a separator: 35000"},
        {"0 display 6 1,234,567", "; write whole numbers without a separator: 1234567"},
        {"0 display 6 1,5", "; use a dot: 1.5"},
        {"0 lamp 9402 3 on", "; write it 0x9402"},
        {"0 value 9484 7", "; write it 0x9484"},
        {"0 display 9430 100", "; write it 0x9430"},
        {"0 display 34 5", ".. 0x9470"},  // no hint: 0x34 lies outside the block
    };
    for (const auto& refusal : refusals) {
        Scenario scenario;
        std::vector<std::string> errors;
        EXPECT_FALSE(ReadScenario(refusal.scenario, scenario, errors)) << refusal.scenario;
        ASSERT_FALSE(errors.empty()) << refusal.scenario;
        const std::string hint = refusal.hint;
        EXPECT_TRUE(errors[0].size() >= hint.size() &&
                    errors[0].compare(errors[0].size() - hint.size(), hint.size(), hint) == 0)
            << errors[0];
    }
}

TEST(KitScenario, ReportsEveryFaultyLineAndAFileThatIsNotThere) {
    Scenario scenario;
    std::vector<std::string> errors;
    EXPECT_FALSE(
        ReadScenario("0 lamps\n2 display 1 5\n3 display 99 1\n1 repeat", scenario, errors));
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[1].rfind("line 3: ", 0), 0u) << errors[1];
    EXPECT_EQ(errors[2].rfind("line 4: time 1 comes before the 3", 0), 0u) << errors[2];

    EXPECT_FALSE(LoadScenarioFile("no-such-dir/scenario.txt", scenario, errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("cannot open no-such-dir/scenario.txt: ", 0), 0u) << errors[0];

    // One step and a comment up to 1 MiB plays; a byte more is refused whole, not cut and played.
    const std::string path = (std::filesystem::temp_directory_path() / "kit-1mib.txt").string();
    for (const std::size_t size : {std::size_t{1} << 20, (std::size_t{1} << 20) + 1}) {
        std::string text = "0 lamp 0x9402 3 on\n#";
        text.resize(size, 'x');
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
        const bool plays = LoadScenarioFile(path.c_str(), scenario, errors);
        EXPECT_EQ(plays, size == std::size_t{1} << 20) << size;
        EXPECT_EQ(errors, plays ? Errors{} : Errors{path + " is over 1 MiB: not a scenario"});
    }
    std::filesystem::remove(path);
}

TEST(KitScenario, ExampleScenariosOfTheKitAllPlay) {
    std::size_t examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(QUORVANE_KIT_SCENARIOS)) {
        Scenario scenario;
        std::vector<std::string> errors;
        EXPECT_TRUE(LoadScenarioFile(entry.path().string().c_str(), scenario, errors))
            << entry.path() << ": " << (errors.empty() ? "" : errors[0]);
        ++examples;
    }
    EXPECT_GE(examples, 3u);
}

// Steps at 0 and 1 s, again from 2 s on; a late look plays all that is due, across rounds.
TEST(KitScenario, PlaysStepsWhenDueAndRepeatsFromTheStart) {
    Scenario scenario;
    std::vector<std::string> errors;
    ASSERT_TRUE(
        ReadScenario("0 lamp 0x9402 1 on\n1 lamp 0x9402 1 off\n2 repeat", scenario, errors));
    const struct {
        double elapsed;
        std::vector<std::size_t> lines;
    } looks[] = {{0.0, {1}}, {0.9, {}}, {1.0, {2}}, {1.9, {}}, {2.0, {1}}, {4.5, {2, 1}}, {5, {2}}};
    ScenarioPlayer player{};
    for (const auto& look : looks) {
        std::vector<std::size_t> played;
        while (const ScenarioStep* step = NextDueStep(scenario, player, look.elapsed)) {
            played.push_back(step->line);
        }
        EXPECT_EQ(played, look.lines) << "at " << look.elapsed << " s";
    }
}

struct EchoCase {
    std::int32_t code;
    double target;
    std::int32_t hundredthsSwitch;  // field 0x1C0 before
    std::int32_t sign;              // field 0x1F4 before, the single value 0x948F
    std::uint32_t display;
    std::uint16_t shown;  // the display's 16 bits afterwards
    std::uint8_t signAfter;
};

using KitEcho = export_world::CycleExportTest;

TEST_F(KitEcho, EncoderCommandsSetTheirDisplayToTheTarget) {
    const EchoCase cases[] = {
        {1238, 1500.0, 0, 0, 0x9430, 1500, 0},
        {1232, -100.0, 0, 0, 0x943A, 0, 0},    // a display shows no minus: it stops at 0
        {1233, 1000.0, 0, 0, 0x9434, 999, 0},  // nor more digits than it has
        {1235, 0.79, 10, 0, 0x9436, 79, 0},    // hundredths mode, and it stays on
        {1235, 250.0, 2, 0, 0x9436, 250, 0},
        {1236, -1100.0, 0, 0, 0x943C, 1100, 12},  // the sign field says minus
        {1236, 1300.0, 0, 12, 0x943C, 1300, 0},
    };
    for (const EchoCase& echoCase : cases) {
        std::uint8_t* state = StateBlock().data();
        std::memcpy(state + kHundredthsSwitchField, &echoCase.hundredthsSwitch, 4);
        std::memcpy(state + kSignField, &echoCase.sign, 4);
        const EncoderRow* encoder = EncoderOfCommand(echoCase.code);
        ASSERT_NE(encoder, nullptr);
        ApplyFieldWrites(EchoEncoder(*encoder, echoCase.target, state).writes, state);
        Cycle();
        EXPECT_EQ(export_world::Module16(echoCase.display), echoCase.shown) << echoCase.code;
        EXPECT_EQ(ModuleByte(0x948F), echoCase.signAfter) << echoCase.code;
        if (echoCase.hundredthsSwitch > 9) {
            EXPECT_GT(ReadStateInt32(state, kHundredthsSwitchField), 9);
        }
    }
    EXPECT_EQ(EncoderOfCommand(1231), nullptr);
    EXPECT_EQ(EncoderNumber(*EncoderOfCommand(1239)), 7u);
}

// The kit stays away from the real thing also where Wine shows nothing: a mapping of an
// elevated add-on, refused to us, still exists; only "no such object" means none.
TEST(KitRealThing, AModuleWindowOrAnAddonMappingOfAnyAccessKeepsTheKitAway) {
    fresh_world::Reset();
    EXPECT_EQ(RunningModuleClass(), nullptr);
    const HWND own = fake::AddWindow("UIPCMAIN");
    EXPECT_EQ(RunningModuleClass(own), nullptr);
    fake::AddWindow("uipcmain");
    EXPECT_STREQ(RunningModuleClass(own), "UIPCMAIN");
    fresh_world::Reset();
    fake::AddWindow("FS98MAIN");
    EXPECT_STREQ(RunningModuleClass(), "FS98MAIN");

    const struct {
        bool published;
        DWORD openError;  // 0: OpenFileMappingW does as the world says
        bool exists;
    } mappings[] = {{false, 0, false},
                    {true, 0, true},
                    {true, ERROR_ACCESS_DENIED, true},
                    {false, ERROR_INVALID_HANDLE, true},  // the name held by another kind
                    {true, ERROR_FILE_NOT_FOUND, false}};
    for (const auto& mapping : mappings) {
        fresh_world::Reset();
        if (mapping.published) {
            fake::CreateBlockAsOtherProcess(fake::Narrow(kStateMappingName), kStateViewSize);
        }
        if (mapping.openError != 0) {
            fake::FailNext(fake::Call::OpenFileMappingW, 1, mapping.openError);
        }
        EXPECT_EQ(AddonStateMappingExists(), mapping.exists) << mapping.openError;
        EXPECT_EQ(fake::LiveHandleCount(), 0u);
    }
}

}  // namespace
