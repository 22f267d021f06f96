// The poll cycle, cycle after cycle, against an add-on and module clients that may put anything
// anywhere they can reach: any bytes in the state block, any mailbox code and counter values,
// anything in the command block, and now and then exchanges that fail; before the first, a
// module that kept any block from an earlier run and may tamper with its reply to the read of
// it. Connecting and every cycle are checked against the rules of reliability/cycle_rig.h; a run ends
// at a failed connect or the first failed cycle, as the shell's does.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bridge/block_seed.h"
#include "reliability/cycle_rig.h"

namespace {

using cycle_checks::CycleRig;
using cycle_checks::SeedReply;

// What one byte of the input asks to change before the next cycle.
enum StepBits : std::uint8_t {
    kPatchStateBlock = 1 << 0,  // raw bytes anywhere in the state block
    kSetSourceField = 1 << 1,   // a small value into one field the bridge reads
    kPostMailbox = 1 << 2,
    kSetCounter = 1 << 3,
    kTakeCommand = 1 << 4,  // the add-on overwrites the command block
    kFaultsMask = 0xE0,     // all three set: the cycle's exchanges meet faults
};

[[noreturn]] void Broken(const CycleRig& rig, const char* rule) {
    std::fprintf(stderr, "cycle %llu: %s\n", static_cast<unsigned long long>(rig.Counts().cycles),
                 rule);
    std::abort();
}

void PatchStateBlock(CycleRig& rig, FuzzedDataProvider& input) {
    const std::span<std::uint8_t> block = rig.StateBlock();
    const std::size_t at = input.ConsumeIntegralInRange<std::size_t>(0, block.size() - 1);
    const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(1, 8);
    for (std::size_t i = 0; i < length && at + i < block.size(); ++i) {
        block[at + i] = input.ConsumeIntegral<std::uint8_t>();
    }
}

// Digits, blanks, flags and small numbers are where the rules branch; raw bytes rarely land
// on them, so the input can also name a field and give it a small value.
void SetSourceField(CycleRig& rig, FuzzedDataProvider& input) {
    const auto& entries = cycle_checks::ExportEntries();
    const auto& entry = entries[input.ConsumeIntegralInRange<std::size_t>(0, entries.size() - 1)];
    const auto& field =
        entry.fields[input.ConsumeIntegralInRange<std::size_t>(0, entry.fieldCount - 1)];
    if (field.size == 8) {
        const double value = input.ConsumeIntegralInRange<int>(-70000, 70000) / 4.0;
        std::memcpy(rig.StateBlock().data() + field.offset, &value, sizeof value);
    } else {
        const std::int32_t value = input.ConsumeIntegralInRange<std::int32_t>(-3, 15);
        std::memcpy(rig.StateBlock().data() + field.offset, &value, sizeof value);
    }
}

// Mostly a whole reply, so that most inputs go on to their cycles; otherwise the walk cut before
// the read (id 0), the read's id turned into another (small ids are the ones the protocol
// knows), or bytes of the block read otherwise.
SeedReply ConsumeSeedReply(FuzzedDataProvider& input) {
    SeedReply reply;
    switch (input.ConsumeIntegralInRange<int>(0, 15)) {
        case 0:
            reply.kind = SeedReply::Kind::IdRewritten;
            break;
        case 1:
            reply.kind = SeedReply::Kind::IdRewritten;
            reply.id = input.ConsumeIntegralInRange<std::uint32_t>(0, 3);
            break;
        case 2:
            reply.kind = SeedReply::Kind::IdRewritten;
            reply.id = input.ConsumeIntegral<std::uint32_t>();
            break;
        case 3:
            reply.kind = SeedReply::Kind::DataRewritten;
            reply.at = input.ConsumeIntegralInRange<std::size_t>(0, CycleRig::kBlockSize - 1);
            reply.size = input.ConsumeData(reply.bytes.data(),
                                           input.ConsumeIntegralInRange<std::size_t>(1, 8));
            break;
        default:
            break;
    }
    return reply;
}

cycle_checks::ExchangeFaults ConsumeFaults(FuzzedDataProvider& input) {
    cycle_checks::ExchangeFaults faults;
    faults.timedOutSends = input.ConsumeIntegralInRange<unsigned>(0, 20);
    // Both ways a timeout is told, and a send that was refused.
    constexpr DWORD kLastErrors[] = {0, ERROR_TIMEOUT, ERROR_ACCESS_DENIED};
    faults.lastError = kLastErrors[input.ConsumeIntegralInRange<std::size_t>(0, 2)];
    faults.badAnswer = input.ConsumeIntegralInRange<int>(0, 3) == 0;
    return faults;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    static CycleRig rig;  // static storage: it keeps a copy of the module's whole space
    // The module may still hold a block from an earlier run: any bytes, any counters.
    std::uint8_t moduleBlock[kBridgeBlockSize] = {};
    const bool publishCommandBlock = input.ConsumeBool();
    if (input.ConsumeBool()) {
        input.ConsumeData(moduleBlock, sizeof moduleBlock);
    }
    const SeedReply seedReply = ConsumeSeedReply(input);
    const bool connected = rig.Start(publishCommandBlock, moduleBlock, seedReply);
    if (const char* broken = rig.CheckConnect()) Broken(rig, broken);
    if (!connected) return 0;
    const std::span<std::uint8_t> commandBlock = rig.CommandBlock();
    for (std::uint8_t& byte : commandBlock) byte = input.ConsumeIntegral<std::uint8_t>();
    rig.PostMailbox(input.ConsumeIntegral<std::int16_t>());

    while (input.remaining_bytes() > 0) {
        const std::uint8_t step = input.ConsumeIntegral<std::uint8_t>();
        if (step & kPatchStateBlock) PatchStateBlock(rig, input);
        if (step & kSetSourceField) SetSourceField(rig, input);
        if (step & kPostMailbox) rig.PostMailbox(input.ConsumeIntegral<std::int16_t>());
        if (step & kSetCounter) {
            rig.SetCounter(input.ConsumeIntegralInRange<std::size_t>(0, kEncoderCount - 1),
                           input.ConsumeIntegral<std::uint8_t>());
        }
        if ((step & kTakeCommand) && !commandBlock.empty()) {
            for (std::size_t i = 0; i < 4; ++i)
                commandBlock[i] = input.ConsumeIntegral<std::uint8_t>();
        }
        cycle_checks::ExchangeFaults faults;
        if ((step & kFaultsMask) == kFaultsMask) faults = ConsumeFaults(input);

        LinkResult result = LINK_OK;
        if (const char* broken = rig.RunCheckedCycle(faults, result)) Broken(rig, broken);
        if (result != LINK_OK) break;
    }
    // Each cycle's writes were checked one by one; the whole space once is enough to show that
    // nothing else moved.
    if (const char* broken = rig.CheckSpaceOutsideBlock()) Broken(rig, broken);
    return 0;
}
