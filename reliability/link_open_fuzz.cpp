// Opening the link against any module: windows of either class or none, calls that fail, a
// buffer name somebody else holds already, and handshake replies of any kind: version and marker
// words, answers other than 1, unanswered sends and bytes written over the reply, exchange by
// exchange.
//
// Whatever happens, LinkOpen ends with one of the results it may give, after at most five
// exchanges; a failed open holds nothing, a name in use is never shared, and an accepted open
// stands on a handshake the rules accept.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "simlink/simlink.h"
#include "tests/fake_win32/fake_win32.h"
#include "tests/fresh_world/fresh_world.h"

namespace {

constexpr unsigned kMostExchanges = 5;
constexpr unsigned kSendsPerExchange = 9;
constexpr std::uint32_t kOldestModuleVersion = 0x19980005;
constexpr const char* kFirstBufferName = "FsasmLib:IPC:1A2B:1";  // default process id, count 1

constexpr fake::Call kFailingCalls[] = {
    fake::Call::FindWindowExA,  fake::Call::RegisterWindowMessageA,
    fake::Call::GlobalAddAtomA, fake::Call::CreateFileMappingA,
    fake::Call::MapViewOfFile,  fake::Call::SendMessageTimeoutA,
};

[[noreturn]] void Broken(const char* rule) {
    std::fprintf(stderr, "link open: %s\n", rule);
    std::abort();
}

// What the module does in one exchange, and what it leaves for the next one.
struct ExchangeScript {
    DWORD_PTR answer;
    std::uint32_t nextVersion;
    std::uint32_t nextSimulatorWord;
    unsigned nextTimedOutSends;
    DWORD nextLastError;
    std::size_t patchAt;
    std::vector<std::uint8_t> patch;
};

std::uint32_t ConsumeVersion(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return 0;
        case 1:
            return kOldestModuleVersion - input.ConsumeIntegralInRange<std::uint32_t>(0, 1);
        case 2:
            return kOldestModuleVersion;
        default:
            return input.ConsumeIntegral<std::uint32_t>();
    }
}

std::uint32_t ConsumeSimulatorWord(FuzzedDataProvider& input) {
    const std::uint32_t id = input.ConsumeIntegralInRange<std::uint32_t>(0, 3);
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return 0;
        case 1:
            return id;  // no marker
        case 2:
            return 0xFADE0000u | id;
        default:
            return input.ConsumeIntegral<std::uint32_t>();
    }
}

ExchangeScript ConsumeScript(FuzzedDataProvider& input) {
    ExchangeScript script{};
    script.answer =
        input.ConsumeIntegralInRange<int>(0, 7) == 0 ? input.ConsumeIntegral<std::uint8_t>() : 1;
    script.nextVersion = ConsumeVersion(input);
    script.nextSimulatorWord = ConsumeSimulatorWord(input);
    script.nextTimedOutSends = input.ConsumeIntegralInRange<int>(0, 7) == 0
                                   ? input.ConsumeIntegralInRange<unsigned>(0, 10)
                                   : 0;
    script.nextLastError = input.ConsumeBool() ? 0 : ERROR_TIMEOUT;
    if (input.ConsumeIntegralInRange<int>(0, 3) == 0) {
        script.patchAt = input.ConsumeIntegralInRange<std::size_t>(0, 63);
        script.patch =
            input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(1, 8));
    }
    return script;
}

bool AllowedResult(LinkResult result) {
    return (result >= LINK_OK && result <= LINK_WRONG_SIMULATOR) ||
           (result >= LINK_TIMEOUT && result <= LINK_MODULE_NOT_RUNNING);
}

void CheckNothingHeld() {
    if (fake::LiveAtomCount() != 0 || fake::LiveHandleCount() != 0 || fake::LiveViewCount() != 0 ||
        g_link.bufferStart != nullptr || g_link.bufferMapping != nullptr ||
        g_link.bufferAtom != 0) {
        Broken("a failed open holds an atom, a mapping or a view");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    fresh_world::Reset();

    // The world the client finds.
    const bool moduleRuns = input.ConsumeIntegralInRange<int>(0, 7) != 0;
    const bool moduleUnderSecondClass = input.ConsumeBool();
    const bool plainWindowOfOtherClass = input.ConsumeIntegralInRange<int>(0, 3) == 0;
    const char* moduleClass = kModuleWindowClasses[moduleUnderSecondClass ? 1 : 0];
    const char* otherClass = kModuleWindowClasses[moduleUnderSecondClass ? 0 : 1];
    if (plainWindowOfOtherClass) fake::AddWindow(otherClass);
    if (moduleRuns) fake::StartModule(moduleClass);
    const bool nameTaken = input.ConsumeIntegralInRange<int>(0, 5) == 0;
    if (nameTaken) fake::CreateBlockAsOtherProcess(kFirstBufferName, kRequestBufferSize);
    if (input.ConsumeIntegralInRange<int>(0, 3) == 0) {
        const fake::Call call = kFailingCalls[input.ConsumeIntegralInRange<std::size_t>(
            0, std::size(kFailingCalls) - 1)];
        fake::FailNext(call, input.ConsumeIntegralInRange<unsigned>(1, 3),
                       input.ConsumeBool() ? 0 : ERROR_ACCESS_DENIED);
    }
    const std::uint32_t requiredSimulator =
        input.ConsumeBool() ? 0 : input.ConsumeIntegralInRange<std::uint32_t>(0, 3);

    // The module's replies, exchange by exchange (one more than may happen, to catch a sixth).
    fake::SetModuleVersion(ConsumeVersion(input));
    fake::SetModuleSimulatorWord(ConsumeSimulatorWord(input));
    if (input.ConsumeIntegralInRange<int>(0, 7) == 0) {
        fake::TimeOutNextSends(input.ConsumeIntegralInRange<unsigned>(0, 10),
                               input.ConsumeBool() ? 0 : ERROR_TIMEOUT);
    }
    std::array<ExchangeScript, kMostExchanges + 1> scripts;
    for (ExchangeScript& script : scripts) script = ConsumeScript(input);
    fake::SetAfterExchangeHook([&scripts](std::span<std::uint8_t> buffer) {
        const ExchangeScript& script = scripts[(fake::ExchangesHandled() - 1) % scripts.size()];
        if (!script.patch.empty()) {
            std::memcpy(buffer.data() + script.patchAt, script.patch.data(), script.patch.size());
        }
        fake::SetModuleAnswer(script.answer);
        fake::SetModuleVersion(script.nextVersion);
        fake::SetModuleSimulatorWord(script.nextSimulatorWord);
        fake::TimeOutNextSends(script.nextTimedOutSends, script.nextLastError);
    });

    LinkResult result = -1;
    const bool opened = LinkOpen(requiredSimulator, result);
    fake::SetAfterExchangeHook(nullptr);

    if (!AllowedResult(result) || result == LINK_ALREADY_OPEN) Broken("a result open cannot give");
    if (opened != (result == LINK_OK)) Broken("the return value disagrees with the result");
    if (fake::ExchangesHandled() > kMostExchanges) Broken("more than five exchanges");
    if (fake::CallCount(fake::Call::SendMessageTimeoutA) > kMostExchanges * kSendsPerExchange) {
        Broken("more sends than five exchanges may make");
    }
    if (fake::ModuleSpace().greetingWrites > 1) Broken("the greeting was written twice");
    if (nameTaken && result > LINK_NO_MAPPING) Broken("a buffer somebody else created was used");
    if ((result == LINK_NO_SIMULATOR || result == LINK_NO_MESSAGE) &&
        (g_link.openCount != 0 || fake::CallCount(fake::Call::GlobalAddAtomA) != 0)) {
        Broken("a name used up though no buffer was made");
    }
    // 7 names a window found under the first class, 14 one found only under the second.
    const unsigned lookups = fake::CallCount(fake::Call::FindWindowExA);
    if ((result == LINK_BAD_VERSION && lookups != 1) ||
        (result == LINK_MODULE_NOT_RUNNING && lookups != 2)) {
        Broken("a refused handshake blamed on the wrong class of window");
    }
    if (!opened) {
        CheckNothingHeld();
        return 0;
    }

    if (g_link.moduleVersion < kOldestModuleVersion || g_link.simulatorId > 0xFFFF ||
        (requiredSimulator != 0 && requiredSimulator != g_link.simulatorId)) {
        Broken("an open accepted on a handshake the rules refuse");
    }
    if (fake::ModuleSpace().greetingWrites != 1) Broken("an open without its greeting");
    if (g_link.writePos != g_link.bufferStart || fake::LiveAtomCount() != 1 ||
        fake::LiveHandleCount() != 1 || fake::LiveViewCount() != 1) {
        Broken("an open link that is not one buffer, one atom and an empty queue");
    }
    if (LinkOpen(0, result) || result != LINK_ALREADY_OPEN || g_link.bufferStart == nullptr) {
        Broken("a second open disturbed the open link");
    }
    LinkClose();
    CheckNothingHeld();
    return 0;
}
