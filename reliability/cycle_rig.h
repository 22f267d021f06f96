// A running bridge in the in-process world, driven cycle by cycle by a fuzzer or a soak, with
// every rule that must hold whatever the add-on and the module's other clients do checked after
// each cycle:
//
//   - the cycle writes only to the bridge's own bytes of the block 0x9400..0x94F7: never to
//     0x9408, the gaps 0x9427..0x942F and 0x9472..0x947F, nor the counters 0x94F0..0x94F7, and
//     to 0x9400 only the empty mailbox 0xFFFF: alone in the cycle's second exchange, or, when
//     the block read all zero at connecting, once at the end of the first cycle's exchange;
//   - a value is written only when its source bytes changed since it was last written (a NaN
//     double counts as changed every time), in the order of the export stages, followed by the
//     nine reads of the inputs; in the first cycle, only when the block's bytes at connecting,
//     widened into the source's type, do not equal the source;
//   - connecting forwards no counter the block held as a turn, and a code it held once, unless
//     the whole block read zero: then its mailbox's 0 is fresh memory, and no code, until the
//     first cycle has read and marked it (a code posted meanwhile is forwarded);
//   - connecting succeeds exactly when the module's reply brought the read of the block, and
//     otherwise fails for that reason (LINK_READ_LEFT_OUT); bytes the reply changed in the
//     read's data are the module's word for its block. So no command reaches the add-on that
//     the module's clients, as the block showed them, did not give;
//   - after a cycle that succeeded, the block shows every value of the snapshot (nothing lost,
//     nothing corrupted on the way), unless an earlier exchange never reached the module;
//   - the command block holds the command the rules call for: a mailbox code 0..32767 with 0.0,
//     or 1232 + k with the target computed from display and steps, the later one winning; or
//     what it held before when nothing was due. Offsets 4..7 and 16 never change;
//   - the cycle's result is that of its last exchange.
//
// Nothing here allocates once the first Start has returned: the world, the link and the add-on's
// views are made once per process, and each Start puts them back to their start values, so a
// soak can count allocations and a fuzzer runs many thousands of starts a second. Nothing else
// may reset the fake world while a rig is in use.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "reliability/export_entries.h"
#include "platform/win32.h"
#include "sdk/sdk.h"
#include "simlink/link_result.h"
#include "tests/fake_win32/fake_win32.h"
#include "tools/exchange/module_space.h"

namespace cycle_checks {

// What the module's side does to the exchanges of one cycle.
struct ExchangeFaults {
    unsigned timedOutSends = 0;  // sends from the cycle's first on that get no answer in time
    DWORD lastError = 0;         // what each of them leaves as the thread's last error
    bool badAnswer = false;      // every exchange is carried out but answered with 0
};

// What the module leaves in its reply to the read that seeds the bridge, once it has carried it
// out.
struct SeedReply {
    enum class Kind : std::uint8_t {
        Whole,          // as the protocol asks
        IdRewritten,    // `id` stands where the read's id was: 0 ends the walk before it
        DataRewritten,  // `size` bytes of the block from `at` on read as `bytes`
    };
    Kind kind = Kind::Whole;
    std::uint32_t id = 0;
    std::size_t at = 0;
    std::size_t size = 0;
    std::array<std::uint8_t, 8> bytes{};
};

struct RigCounts {
    std::uint64_t cycles;
    std::uint64_t exchanges;
    std::uint64_t writesChecked;
    std::uint64_t mailboxCommands;
    std::uint64_t encoderCommands;
};

class CycleRig {
  public:
    static constexpr std::size_t kBytesPerEntry = 64;  // up to eight 8-byte source fields
    static constexpr std::size_t kBlockSize = 0xF8;    // 0x9400..0x94F7

    // A fresh process in a fresh world, as the shell leaves it after start-up: the module
    // running, the add-on's blocks published (the command block only if asked), both sides
    // connected. The first Start opens the link and the views as the shell does; every Start
    // puts everything back to its start values and reads the block that seeds the bridge, the
    // part of connecting that depends on the module. The module's block holds `moduleBlock` from
    // 0x9400 on (zeros beyond it), as a module keeps it from an earlier run, and the module answers
    // the read of it with `seedReply`. False if connecting failed: then no cycle may run.
    bool Start(bool publishCommandBlock, std::span<const std::uint8_t> moduleBlock = {},
               const SeedReply& seedReply = {});

    // Whether the last Start connected exactly when the rules say, and handed the add-on nothing.
    const char* CheckConnect() const;

    std::span<std::uint8_t> StateBlock();    // as the add-on writes it
    std::span<std::uint8_t> CommandBlock();  // as the add-on sees it; empty when not published
    void PostMailbox(std::int16_t code);     // as another client writes 0x9400
    void SetCounter(std::size_t k, std::uint8_t value);

    // Runs one poll cycle under `faults` and checks it. Returns null when every rule held,
    // otherwise the rule broken. `result` receives the cycle's result; after a nonzero one the
    // shell runs no further cycle, and neither may the caller.
    const char* RunCheckedCycle(const ExchangeFaults& faults, LinkResult& result);

    // Every offset outside 0x9400..0x94F7 as it was right after the handshake.
    const char* CheckSpaceOutsideBlock() const;

    const RigCounts& Counts() const { return counts_; }

  private:
    struct Expected {
        bool command;
        std::int32_t code;
        double parameter;
        bool served;  // a mailbox code was forwarded, so a second exchange follows
    };

    Expected ServeInputs();
    const char* CheckExchanges(unsigned firstExchange, bool firstDelivered, bool secondDelivered,
                               bool served, bool marked);
    const char* CheckWrite(const fake::LoggedRecord& record, std::size_t& lastPosition);
    void ResyncSources();
    void SettleSeededEntries();
    std::uint16_t BytesAtStart(const ExportEntry& entry) const;
    const char* CheckBlockShowsSnapshot();
    const char* CheckEveryValue() const;
    void WriteDue(const ExportEntry& entry);
    void RebuildDueBlock();
    void UpdateDueBlock();
    const char* CheckCommandBlock(const Expected& expected) const;

    void SetUpWorld();
    void TamperWithSeedReply(std::span<std::uint8_t> buffer) const;

    bool worldSetUp_ = false;
    exchange::ModuleSpace spaceAfterHandshake_{};  // the module as the link left it at opening
    SdkViews viewsAtOpen_{};                       // both views, as opening them left them
    std::span<std::uint8_t> stateBlock_;           // the add-on's blocks, for the process's life
    std::span<std::uint8_t> commandBlockBytes_;
    SeedReply seedReply_{};
    LinkResult connectResult_ = LINK_OK;
    bool commandBlock_ = false;
    bool exportsLost_ = false;  // an exchange with writes in it never reached the module
    std::int16_t mailbox_ = 0;  // the bridge's mailbox as the rules leave it
    bool markDue_ = false;      // the next cycle marks a never-written mailbox empty
    std::array<std::uint8_t, kEncoderCount> slots_{};     // counters as last read
    std::array<std::uint8_t, kEncoderCount> lastSeen_{};  // counters that last produced a command
    std::array<std::uint8_t, kCommandViewSize> commandBefore_{};  // the block before the cycle
    std::array<std::array<std::uint8_t, kBytesPerEntry>, kExportEntryCount> sourceAtWrite_{};
    // Values whose last-sent copy is still what connecting read from the block: until the first
    // cycle compared them, a write needs a source that the block's bytes do not give back.
    std::array<bool, kExportEntryCount> seeded_{};
    bool settled_ = false;  // the first cycle has compared every seeded value
    // Values the seed reply showed otherwise than the block held them, not written since.
    std::array<bool, kExportEntryCount> lagging_{};
    std::size_t laggingLeft_ = 0;
    std::array<std::uint8_t, kBlockSize> blockAtOpen_{};  // the block as the module held it
    std::array<std::uint8_t, kBlockSize> blockSeen_{};    // the block as the seed reply showed it

    // The block as the snapshot says it must read (reserved bytes as at connecting), kept up to
    // date piece by piece of the snapshot: a cycle works out again only the values whose
    // sources lie in a piece that changed, and compares the block in one go.
    static constexpr std::size_t kPieceSize = 256;
    static constexpr std::size_t kPieces = (kStateViewSize + kPieceSize - 1) / kPieceSize;
    struct PieceEntries {
        std::size_t count;
        std::array<std::uint8_t, kExportEntryCount> positions;  // values with a source in it
    };
    std::array<PieceEntries, kPieces> pieceEntries_{};
    std::array<std::uint8_t, kPieces * kPieceSize> snapshotAtDue_{};
    std::array<std::uint8_t, kBlockSize> dueBlock_{};
    bool dueBlockValid_ = false;
    RigCounts counts_{};
};

}  // namespace cycle_checks
