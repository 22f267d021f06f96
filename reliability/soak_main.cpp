// The soak: a bridge running cycle after cycle against an add-on whose cockpit keeps changing
// at random and clients that keep posting codes and turning encoders, with every rule of the
// cycle checked after each one and the heap watched: a cycle must never allocate.
//
//     soak [--cycles N] [--seed S]
//
// Prints its figures and ends with 1 at the first broken rule or allocation.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>

#include "bridge/block_seed.h"
#include "reliability/cycle_rig.h"
#include "tests/allocation_counter/allocation_counter.h"

namespace {

using cycle_checks::CycleRig;
using cycle_checks::ExportKind;

struct SoakOptions {
    std::uint64_t cycles = 1'000'000;
    std::uint64_t seed = 1;
};

bool ParseOptions(int argc, char** argv, SoakOptions& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::uint64_t value = std::strtoull(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--cycles") == 0) {
            options.cycles = value;
        } else if (std::strcmp(argv[i], "--seed") == 0) {
            options.seed = value;
        } else {
            return false;
        }
    }
    return argc % 2 == 1;
}

class RandomWorld {
  public:
    RandomWorld(CycleRig& rig, std::uint64_t seed) : rig_(rig), random_(seed) {}

    // One step of the add-on and the clients between two cycles.
    void Step() {
        const unsigned changes = Below(6);
        for (unsigned i = 0; i < changes; ++i) ChangeOneSource();
        if (OneIn(64)) ScribbleOnStateBlock();
        if (OneIn(40)) rig_.PostMailbox(static_cast<std::int16_t>(Below(32768)));
        if (OneIn(300)) rig_.PostMailbox(static_cast<std::int16_t>(-1 - Below(32768)));
        if (OneIn(8)) TurnEncoder();
        if (OneIn(5)) TakeCommand();
    }

    // Now and then a few sends go unanswered; the retries must carry the exchange through.
    cycle_checks::ExchangeFaults Faults() {
        cycle_checks::ExchangeFaults faults;
        if (OneIn(1000)) faults.timedOutSends = 1 + Below(8);
        return faults;
    }

  private:
    bool OneIn(unsigned n) { return Below(n) == 0; }
    unsigned Below(unsigned n) { return static_cast<unsigned>(random_() % n); }

    void StoreInt32(std::uint32_t offset, std::int32_t value) {
        std::memcpy(rig_.StateBlock().data() + offset, &value, sizeof value);
    }

    void StoreDouble(std::uint32_t offset, double value) {
        std::memcpy(rig_.StateBlock().data() + offset, &value, sizeof value);
    }

    // Mostly what a cockpit shows; sometimes what a broken add-on might leave.
    void ChangeOneSource() {
        const auto& entries = cycle_checks::ExportEntries();
        const auto& entry = entries[Below(static_cast<unsigned>(entries.size()))];
        const auto& field = entry.fields[Below(entry.fieldCount)];
        switch (entry.kind) {
            case ExportKind::Display:
                StoreInt32(field.offset, OneIn(50)  ? -static_cast<std::int32_t>(Below(20))
                                         : OneIn(8) ? static_cast<std::int32_t>(10 + Below(6))
                                                    : static_cast<std::int32_t>(Below(10)));
                break;
            case ExportKind::Flags:
                StoreInt32(field.offset, OneIn(100) ? static_cast<std::int32_t>(random_())
                                                    : static_cast<std::int32_t>(Below(2)));
                break;
            case ExportKind::SingleInt32:
                StoreInt32(field.offset, OneIn(10) ? static_cast<std::int32_t>(random_())
                                                   : static_cast<std::int32_t>(Below(16)));
                break;
            case ExportKind::SingleFloat64:
                StoreDouble(field.offset, RandomDouble());
                break;
        }
    }

    double RandomDouble() {
        switch (Below(12)) {
            case 0:
                return std::numeric_limits<double>::quiet_NaN();
            case 1:
                return Below(2) == 0 ? std::numeric_limits<double>::infinity() : -0.0;
            case 2:
                return (static_cast<double>(random_()) - 9.2e18) * 1e-3;  // far out of range
            default:
                return (static_cast<double>(Below(2000001)) - 1000000.0) / 8.0;
        }
    }

    void ScribbleOnStateBlock() {
        const std::size_t at = Below(kStateViewSize);
        rig_.StateBlock()[at] = static_cast<std::uint8_t>(random_());
    }

    void TurnEncoder() {
        const std::size_t k = Below(kEncoderCount);
        const std::uint8_t now = fake::ModuleSpace().bytes[0x94F0 + k];
        // Now and then a jump, often one at the edge of the shorter way round.
        constexpr int kEdgeSteps[] = {127, 128, 129, -127, -128, 255};
        int steps = static_cast<int>(Below(7)) - 3;
        if (OneIn(20)) steps = kEdgeSteps[Below(std::size(kEdgeSteps))];
        if (OneIn(50)) steps = static_cast<int>(Below(256));
        rig_.SetCounter(k, static_cast<std::uint8_t>((now + steps + 256) % 256));
    }

    // The add-on takes the command and clears its code, as a real one may.
    void TakeCommand() {
        const std::span<std::uint8_t> block = rig_.CommandBlock();
        const std::int32_t none = -1;
        std::memcpy(block.data(), &none, sizeof none);
    }

    CycleRig& rig_;
    std::mt19937_64 random_;
};

constexpr std::uint64_t kOutsideCheckEvery = 256;

}  // namespace

int main(int argc, char** argv) {
    SoakOptions options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: soak [--cycles N] [--seed S]\n");
        return 2;
    }
    static CycleRig rig;  // static storage: it keeps a copy of the module's whole space
    // The module still holds a block of an earlier run: stale values and turned counters.
    std::uint8_t moduleBlock[kBridgeBlockSize];
    std::mt19937_64 stale(options.seed);
    for (std::uint8_t& byte : moduleBlock) byte = static_cast<std::uint8_t>(stale());
    if (!rig.Start(true, moduleBlock)) {
        std::fprintf(stderr, "soak: the bridge did not start\n");
        return 1;
    }
    RandomWorld world(rig, options.seed);
    // The add-on's kept word and spare byte hold something of their own, which must survive.
    std::memset(rig.CommandBlock().data(), 0x5A, rig.CommandBlock().size());

    const auto started = std::chrono::steady_clock::now();
    const char* broken = nullptr;
    for (std::uint64_t cycle = 0; cycle < options.cycles && broken == nullptr; ++cycle) {
        world.Step();
        const cycle_checks::ExchangeFaults faults = world.Faults();
        LinkResult result = LINK_OK;
        allocation_counter::Start();
        broken = rig.RunCheckedCycle(faults, result);
        if (broken == nullptr && cycle % kOutsideCheckEvery == 0) {
            broken = rig.CheckSpaceOutsideBlock();
        }
        allocation_counter::Stop();
        if (broken == nullptr && result != LINK_OK) broken = "a cycle failed";
        if (broken == nullptr && allocation_counter::Count() != 0) broken = "a cycle allocated";
    }
    if (broken == nullptr) broken = rig.CheckSpaceOutsideBlock();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    const cycle_checks::RigCounts& counts = rig.Counts();
    std::printf("soak: seed %llu, %llu cycles in %.1f s (%.0f a second)\n",
                static_cast<unsigned long long>(options.seed),
                static_cast<unsigned long long>(counts.cycles), seconds,
                seconds > 0 ? static_cast<double>(counts.cycles) / seconds : 0.0);
    std::printf(
        "soak: %llu exchanges, %llu writes checked, %llu mailbox and %llu encoder "
        "commands, %llu allocations in cycles\n",
        static_cast<unsigned long long>(counts.exchanges),
        static_cast<unsigned long long>(counts.writesChecked),
        static_cast<unsigned long long>(counts.mailboxCommands),
        static_cast<unsigned long long>(counts.encoderCommands),
        static_cast<unsigned long long>(allocation_counter::Count()));
    if (broken != nullptr) {
        std::printf("soak: FAILED after %llu cycles: %s\n",
                    static_cast<unsigned long long>(counts.cycles), broken);
        return 1;
    }
    std::printf("soak: every rule held\n");
    return 0;
}
