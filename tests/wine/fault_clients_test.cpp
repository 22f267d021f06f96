// Other clients of the module beside Quorvane: one that loads the module with exchanges of its
// own as fast as it can, and one that posts many codes one after another. Neither may disturb
// Quorvane or be disturbed by it, and every code must reach the add-on exactly once.
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/wine/fault_fixture.h"

namespace {

constexpr DWORD kHammerMs = 3000;
constexpr std::uint32_t kClientArea = 0x7000;         // offsets nobody else uses
constexpr std::uint32_t kFirstPresetSingle = 0x9484;  // int32 fields 0x020 and 0x040 as bytes
constexpr std::uint8_t kPresets[2] = {65, 7};

using ClientFaults = FaultTest;

// Expected: all of the second client's exchanges succeed and each reads back what it wrote and
// the values Quorvane exported; Quorvane's cycles go on beside them with "Status: OK", and it
// still takes a posted code.
TEST_F(ClientFaults, SecondClientHammeringTheModuleDisturbsNothing) {
    ASSERT_TRUE(StartStandIns("", "--set 0x020=65 --set 0x040=7"));
    ASSERT_TRUE(StartQuorvane(L"Status: OK"));
    ASSERT_TRUE(ExchangesArrive(3));
    ASSERT_TRUE(OpenClient());

    const std::uint32_t quorvaneBefore = Exchanges();
    unsigned exchanges = 0;
    unsigned wrong = 0;
    LinkResult result = LINK_OK;
    const ULONGLONG end = GetTickCount64() + kHammerMs;
    for (std::uint32_t i = 1; GetTickCount64() < end && result == LINK_OK; ++i) {
        std::uint32_t readBack = 0;
        std::uint8_t exported[2] = {};
        LinkWrite(kClientArea, sizeof i, &i, result);
        LinkRead(kClientArea, sizeof readBack, &readBack, result);
        LinkRead(kFirstPresetSingle, sizeof exported, exported, result);
        if (!LinkProcess(result)) break;
        ++exchanges;
        if (readBack != i || exported[0] != kPresets[0] || exported[1] != kPresets[1]) ++wrong;
    }
    EXPECT_EQ(result, LINK_OK);
    EXPECT_EQ(wrong, 0u) << "of " << exchanges << " exchanges";
    EXPECT_GT(exchanges, 100u);
    // Quorvane's own cycles made exchanges in between: more than the client's alone.
    EXPECT_GT(Exchanges() - quorvaneBefore, exchanges + 50);
    EXPECT_EQ(quorvane_.StatusText(), L"Status: OK");
    EXPECT_TRUE(PostAndAwaitServed(99));
    EXPECT_TRUE(addon_.WaitForOutput("command 99 parameter 0\n")) << addon_.Output();
}

// How often the add-on printed each command code, from its output.
std::map<std::int32_t, unsigned> CommandsTaken(const std::string& output) {
    std::map<std::int32_t, unsigned> taken;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::int32_t code = 0;
        if (std::sscanf(line.c_str(), "command %d", &code) == 1) ++taken[code];
    }
    return taken;
}

// Expected: a client that posts a code, waits until the mailbox reads 0xFFFF again and the add-on
// has taken the command, and only then posts the next, gets every code to the add-on exactly
// once, and no command besides. (The command block holds one command: waiting for 0xFFFF alone
// leaves a code to the add-on's polling, which a loaded machine may delay past the next cycle.)
TEST_F(ClientFaults, CodesPostedOneAfterAnotherEachReachTheAddonOnce) {
    ASSERT_TRUE(StartStandIns("", ""));
    ASSERT_TRUE(StartQuorvane(L"Status: OK"));
    ASSERT_TRUE(OpenClient());

    std::vector<std::int16_t> codes = {0, 32767, 1232, 1239};
    for (std::int16_t code = 1; code <= 250; ++code) codes.push_back(code);
    for (std::int16_t code : codes) {
        ASSERT_TRUE(PostAndAwaitServed(code));
        const std::string taken = "command " + std::to_string(code) + " parameter 0\n";
        ASSERT_TRUE(addon_.WaitForOutput(taken)) << addon_.Output();
    }

    const std::map<std::int32_t, unsigned> taken = CommandsTaken(addon_.Output());
    for (std::int16_t code : codes) EXPECT_EQ(taken.count(code) ? taken.at(code) : 0u, 1u) << code;
    EXPECT_EQ(taken.size(), codes.size()) << "commands nobody posted";
    EXPECT_EQ(quorvane_.StatusText(), L"Status: OK");
}

}  // namespace
