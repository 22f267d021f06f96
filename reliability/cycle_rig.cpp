#include "reliability/cycle_rig.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "bridge/block_seed.h"
#include "bridge/bridge.h"
#include "bridge/encoder_table.h"
#include "bridge/narrowing.h"
#include "sdk/sdk.h"
#include "simlink/simlink.h"
#include "tests/fresh_world/fresh_world.h"

namespace cycle_checks {
namespace {

constexpr auto kStateBlockName = fake::Narrow(kStateMappingName);
constexpr auto kCommandBlockName = fake::Narrow(kCommandMappingName);

// The block's bounds written out again on purpose, not taken from bridge/bridge_block.h: the
// checks hold the bridge to them, so they must not move with it.
constexpr std::uint32_t kBlockStart = 0x9400;
constexpr std::uint32_t kBlockEnd = 0x94F8;  // one past the last byte
static_assert(kBlockEnd - kBlockStart == CycleRig::kBlockSize);
constexpr std::uint32_t kFirstCounter = 0x94F0;
constexpr std::uint32_t kFlaglessByte = 0x9408;
constexpr unsigned kSendsPerExchange = 9;
constexpr std::size_t kInputReads = 1 + kEncoderCount;
constexpr std::size_t kNoPosition = ~std::size_t{0};

constexpr std::size_t kKeptWordStart = 4;
constexpr std::size_t kKeptWordEnd = 8;
constexpr std::size_t kSpareByte = 16;

// Bytes of the block that are not the bridge's to write: the mailbox (emptied only by its own
// exchange), the flagless byte, the two gaps and the counters.
bool ReservedByte(std::uint64_t offset) {
    return offset < kBlockStart + 2 || offset == kFlaglessByte ||
           (offset >= 0x9427 && offset <= 0x942F) || (offset >= 0x9472 && offset <= 0x947F) ||
           offset >= kFirstCounter;
}

std::int32_t SnapshotWord(std::uint32_t offset) {
    std::int32_t value;
    std::memcpy(&value, g_bridge.snapshot + offset, sizeof value);
    return value;
}

double SnapshotDoubleAt(std::uint32_t offset) {
    double value;
    std::memcpy(&value, g_bridge.snapshot + offset, sizeof value);
    return value;
}

bool IsMailboxEmptied(const fake::LoggedRecord& record) {
    return record.kind == exchange::RecordKind::Write && record.offset == kMailboxOffset &&
           record.size == 2 && record.data[0] == 0xFF && record.data[1] == 0xFF;
}

LinkResult ExchangeOutcome(bool delivered, const ExchangeFaults& faults) {
    if (!delivered) {
        const bool timedOut = faults.lastError == 0 || faults.lastError == ERROR_TIMEOUT;
        return timedOut ? LINK_TIMEOUT : LINK_SEND_FAILED;
    }
    return faults.badAnswer ? LINK_BAD_REPLY : LINK_OK;
}

// Whether two runs of bytes the rig owns are equal, compared a word at a time. The rig compares
// whole blocks in every cycle; checked by the sanitizers (memcmp through AddressSanitizer, each
// step of a loop through UndefinedBehaviorSanitizer), that cost more than the cycle under test,
// and these reads never leave the rig's own arrays and views.
#if defined(__clang__) || defined(__GNUC__)
__attribute__((no_sanitize("address", "undefined")))
#endif
bool SameBlockBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t size) {
    // No early exit: the loop then runs on vector registers, and the blocks are mostly equal.
    std::uint64_t differences = 0;
    std::size_t at = 0;
    for (; at + 8 <= size; at += 8) {
        std::uint64_t x;
        std::uint64_t y;
        std::memcpy(&x, a + at, sizeof x);
        std::memcpy(&y, b + at, sizeof y);
        differences |= x ^ y;
    }
    for (; at < size; ++at) differences |= a[at] ^ b[at];
    return differences == 0;
}

// Steps a counter moved, the shorter way round its 256 values; half way counts as forward.
int StepsBetween(std::uint8_t lastSeen, std::uint8_t counter) {
    const int forward = (counter - lastSeen + 256) % 256;
    return forward > 128 ? forward - 256 : forward;
}

// The absolute target the rules give encoder k for `steps`, from the display as decoded in this
// cycle.
double EncoderTargetByRule(std::size_t k, int steps) {
    const EncoderRow& row = kEncoderTable[k];
    const double shown = g_bridge.displays[row.display - 1];
    const bool blank = shown == kBlankDisplay;
    const double turned = steps;
    if (row.rule == EncoderRule::Hundredths && SnapshotWord(kHundredthsSwitchField) > 9) {
        return (blank ? 0.0 : shown / 100.0) + turned / 100.0;
    }
    if (blank) return turned * row.blankStep;
    if (row.rule == EncoderRule::SignField && SnapshotWord(kSignField) == kMinusSign) {
        return -shown + turned * row.step;
    }
    return shown + turned * row.step;
}

// Keeps the snapshot bytes an entry comes from; true when they differ from those kept before.
bool TakeSources(const ExportEntry& entry,
                 std::array<std::uint8_t, CycleRig::kBytesPerEntry>& kept) {
    bool changed = false;
    std::size_t at = 0;
    for (std::size_t f = 0; f < entry.fieldCount; ++f) {
        const SourceField& field = entry.fields[f];
        if (std::memcmp(kept.data() + at, g_bridge.snapshot + field.offset, field.size) != 0) {
            changed = true;
            std::memcpy(kept.data() + at, g_bridge.snapshot + field.offset, field.size);
        }
        at += field.size;
    }
    return changed;
}

// The bytes an exported value shows in the block, low byte first.
std::uint16_t ShownValue(const ExportEntry& entry) {
    switch (entry.kind) {
        case ExportKind::Display:
            return Low16Bits(TruncateToInt32(g_bridge.displays[entry.index]));
        case ExportKind::Flags:
            return Low16Bits(g_bridge.packedFlags[entry.index]) & 0xFF;
        case ExportKind::SingleInt32:
            return Low16Bits(SnapshotWord(entry.fields[0].offset)) & 0xFF;
        case ExportKind::SingleFloat64:
            return Low16Bits(TruncateToInt32(SnapshotDoubleAt(entry.fields[0].offset)));
    }
    return 0;
}

// Whether `bytes`, as the block held them at connecting, widened into the source's own type,
// equal the source: displays (blank is 0xFFFF) and flag sums widen without sign, single values
// with it.
bool SourceEqualsBlock(const ExportEntry& entry, std::uint16_t bytes) {
    const std::uint32_t field = entry.fields[0].offset;
    switch (entry.kind) {
        case ExportKind::Display:
            return g_bridge.displays[entry.index] == bytes;
        case ExportKind::Flags:
            return g_bridge.packedFlags[entry.index] == bytes;
        case ExportKind::SingleInt32:
            return SnapshotWord(field) == (bytes < 0x80 ? bytes : bytes - 0x100);
        case ExportKind::SingleFloat64:
            return SnapshotDoubleAt(field) == (bytes < 0x8000 ? bytes : bytes - 0x10000);
    }
    return false;
}

}  // namespace

// The world once per process: the module running with its handshake done, both of the add-on's
// blocks published and both views open. What connecting reads of the module's block is done
// again by every Start.
void CycleRig::SetUpWorld() {
    fresh_world::Reset();
    fake::CreateBlockAsOtherProcess(kStateBlockName, kStateViewSize);
    fake::CreateBlockAsOtherProcess(kCommandBlockName, kCommandViewSize);
    fake::StartModule();
    LinkResult result = LINK_OK;
    LinkOpen(0, result);
    SdkOpen();
    spaceAfterHandshake_ = fake::ModuleSpace();
    viewsAtOpen_ = g_sdk;
    stateBlock_ = fake::BlockBytes(kStateBlockName);
    // Which values have a source in each piece of the snapshot.
    static_assert(kExportEntryCount <= 0x100 && kSnapshotSize <= kPieces * kPieceSize);
    const auto& entries = ExportEntries();
    for (std::size_t position = 0; position < kExportEntryCount; ++position) {
        for (std::size_t f = 0; f < entries[position].fieldCount; ++f) {
            const SourceField& field = entries[position].fields[f];
            for (std::size_t piece = field.offset / kPieceSize;
                 piece <= (field.offset + field.size - 1) / kPieceSize; ++piece) {
                PieceEntries& inPiece = pieceEntries_[piece];
                if (inPiece.count != 0 && inPiece.positions[inPiece.count - 1] == position)
                    continue;
                inPiece.positions[inPiece.count++] = static_cast<std::uint8_t>(position);
            }
        }
    }
    commandBlockBytes_ = fake::BlockBytes(kCommandBlockName);
    worldSetUp_ = true;
}

void CycleRig::TamperWithSeedReply(std::span<std::uint8_t> buffer) const {
    std::uint32_t offset;
    std::memcpy(&offset, buffer.data() + kRecordOffsetField, sizeof offset);
    if (offset != kBlockStart) return;  // an exchange of the handshake
    if (seedReply_.kind == SeedReply::Kind::IdRewritten) {
        std::memcpy(buffer.data() + kRecordIdField, &seedReply_.id, sizeof seedReply_.id);
    } else if (seedReply_.kind == SeedReply::Kind::DataRewritten) {
        std::memcpy(buffer.data() + kReadHeaderSize + seedReply_.at, seedReply_.bytes.data(),
                    seedReply_.size);
    }
}

bool CycleRig::Start(bool publishCommandBlock, std::span<const std::uint8_t> moduleBlock,
                     const SeedReply& seedReply) {
    if (!worldSetUp_) SetUpWorld();
    // Back to the start values: a module that nobody has written to since the handshake, empty
    // blocks of the add-on's, no faults scripted, and the views as opening them left them. An
    // add-on that publishes no command block leaves the command view unmapped.
    fake::ModuleSpace() = spaceAfterHandshake_;
    fake::SetModuleAnswer(1);
    fake::TimeOutNextSends(0);
    std::memset(stateBlock_.data(), 0, stateBlock_.size());
    std::memset(commandBlockBytes_.data(), 0, commandBlockBytes_.size());
    g_sdk = viewsAtOpen_;
    if (!publishCommandBlock) {
        g_sdk.commandMapping = nullptr;
        g_sdk.commandView = nullptr;
    }
    ResetBridgeState();

    std::uint8_t* space = fake::ModuleSpace().bytes;
    // An empty span's data may be null, which memcpy may not be given even for 0 bytes.
    if (!moduleBlock.empty()) {
        std::memcpy(space + kBlockStart, moduleBlock.data(),
                    std::min<std::size_t>(moduleBlock.size(), kBlockSize));
    }
    seedReply_ = seedReply;
    seedReply_.at = std::min(seedReply_.at, kBlockSize);
    seedReply_.size =
        std::min({seedReply_.size, seedReply_.bytes.size(), kBlockSize - seedReply_.at});
    fake::SetAfterExchangeHook(
        [this](std::span<std::uint8_t> buffer) { TamperWithSeedReply(buffer); });
    connectResult_ = SeedBridgeFromModuleBlock();
    fake::SetAfterExchangeHook(nullptr);

    // A code waiting in the mailbox is served in the first cycle; the counters count from here.
    // Both as the reply showed them: the bridge has no other word for them.
    commandBlock_ = publishCommandBlock;
    exportsLost_ = false;
    std::memcpy(blockSeen_.data(), space + kBlockStart, kBlockSize);
    if (seedReply_.kind == SeedReply::Kind::DataRewritten) {
        std::memcpy(blockSeen_.data() + seedReply_.at, seedReply_.bytes.data(), seedReply_.size);
    }
    std::memcpy(&mailbox_, blockSeen_.data(), sizeof mailbox_);
    markDue_ = std::all_of(blockSeen_.begin(), blockSeen_.end(),
                           [](std::uint8_t byte) { return byte == 0; });
    if (markDue_) mailbox_ = kMailboxEmpty;
    std::memcpy(slots_.data(), blockSeen_.data() + (kFirstCounter - kBlockStart), slots_.size());
    lastSeen_ = slots_;
    sourceAtWrite_ = {};
    seeded_.fill(true);
    settled_ = false;
    dueBlockValid_ = false;
    std::memcpy(blockAtOpen_.data(), space + kBlockStart, kBlockSize);
    // A value the reply showed otherwise than the block holds it stays as the block holds it
    // until its source changes and it is written.
    for (std::size_t position = 0; position < kExportEntryCount; ++position) {
        const std::size_t at = ExportEntries()[position].destination - kBlockStart;
        lagging_[position] =
            std::memcmp(&blockSeen_[at], &blockAtOpen_[at], ExportEntries()[position].size) != 0;
    }
    laggingLeft_ = static_cast<std::size_t>(std::count(lagging_.begin(), lagging_.end(), true));
    counts_ = {};
    return connectResult_ == LINK_OK;
}

const char* CycleRig::CheckConnect() const {
    const bool readArrives =
        seedReply_.kind != SeedReply::Kind::IdRewritten || seedReply_.id == kReadRecordId;
    if (readArrives) return connectResult_ == LINK_OK ? nullptr : "connecting failed for no reason";
    if (connectResult_ != LINK_READ_LEFT_OUT) {
        return "connecting did not fail though the module's reply left the read out";
    }
    const std::span<const std::uint8_t> command = commandBlockBytes_;
    if (std::any_of(command.begin(), command.end(), [](std::uint8_t byte) { return byte != 0; })) {
        return "a command reached the add-on from a connect that failed";
    }
    return nullptr;
}

std::span<std::uint8_t> CycleRig::StateBlock() {
    return stateBlock_;
}

std::span<std::uint8_t> CycleRig::CommandBlock() {
    return commandBlock_ ? commandBlockBytes_ : std::span<std::uint8_t>();
}

void CycleRig::PostMailbox(std::int16_t code) {
    std::memcpy(fake::ModuleSpace().bytes + kMailboxOffset, &code, sizeof code);
}

void CycleRig::SetCounter(std::size_t k, std::uint8_t value) {
    fake::ModuleSpace().bytes[kFirstCounter + k] = value;
}

const char* CycleRig::RunCheckedCycle(const ExchangeFaults& faults, LinkResult& result) {
    // What the module holds for the cycle's reads; the cycle's own writes never reach these
    // bytes, which the write checks below make sure of.
    const std::uint8_t* space = fake::ModuleSpace().bytes;
    std::int16_t postedMailbox;
    std::memcpy(&postedMailbox, space + kMailboxOffset, sizeof postedMailbox);
    std::array<std::uint8_t, kEncoderCount> postedCounters;
    std::memcpy(postedCounters.data(), space + kFirstCounter, postedCounters.size());
    if (commandBlock_) std::memcpy(commandBefore_.data(), CommandBlock().data(), kCommandViewSize);
    const unsigned exchangesBefore = fake::ExchangesHandled();

    fake::SetModuleAnswer(faults.badAnswer ? 0 : 1);
    fake::TimeOutNextSends(faults.timedOutSends, faults.lastError);
    result = RunCycle();
    ++counts_.cycles;

    // The same cycle as the rules tell it.
    const bool firstDelivered = faults.timedOutSends < kSendsPerExchange;
    const unsigned sendsLeft = firstDelivered ? 0 : faults.timedOutSends - kSendsPerExchange;
    // The mark of a never-written mailbox ends the first exchange, whatever becomes of it: the
    // read before it still brings a code posted since connecting, while the fresh 0 is none.
    const bool marked = markDue_;
    markDue_ = false;
    if (firstDelivered && !faults.badAnswer) {
        mailbox_ = marked && postedMailbox == 0 ? kMailboxEmpty : postedMailbox;
        slots_ = postedCounters;
    }
    const Expected expected = ServeInputs();
    const bool secondDelivered = expected.served && sendsLeft < kSendsPerExchange;
    // A failed first exchange is the cycle's result whatever the mailbox's exchange gives;
    // otherwise the last exchange decides.
    const LinkResult firstOutcome = ExchangeOutcome(firstDelivered, faults);
    const LinkResult expectedResult = firstOutcome == LINK_OK && expected.served
                                          ? ExchangeOutcome(secondDelivered, faults)
                                          : firstOutcome;

    if (result != expectedResult) return "the cycle's result is not that of the exchange due";
    if (const char* broken = CheckExchanges(exchangesBefore, firstDelivered, secondDelivered,
                                            expected.served, marked)) {
        return broken;
    }
    SettleSeededEntries();
    if (g_link.writePos != g_link.bufferStart) return "records left queued after the cycle";
    if (const char* broken = CheckCommandBlock(expected)) return broken;

    std::int16_t mailboxAfter;
    std::memcpy(&mailboxAfter, space + kMailboxOffset, sizeof mailboxAfter);
    const bool markLanded = marked && firstDelivered;
    const std::int16_t mailboxDue = secondDelivered || markLanded ? kMailboxEmpty : postedMailbox;
    if (mailboxAfter != mailboxDue) return "the mailbox is not emptied exactly when served";

    // An exchange that never reached the module took its writes with it, and their values go
    // out again only when they change. The cycle fails, and the window stops the bridge there;
    // the rig goes on cycling, so from then on the block may lag behind the snapshot.
    if (!firstDelivered) {
        exportsLost_ = true;
        ResyncSources();
    }
    if (result == LINK_OK && !exportsLost_) return CheckBlockShowsSnapshot();
    return nullptr;
}

CycleRig::Expected CycleRig::ServeInputs() {
    Expected expected{};
    if (!commandBlock_) return expected;
    if (mailbox_ > kMailboxEmpty) {
        expected = {true, mailbox_, 0.0, true};
        mailbox_ = kMailboxEmpty;
        ++counts_.mailboxCommands;
    }
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        if (slots_[k] == lastSeen_[k]) continue;
        expected.command = true;
        expected.code = kEncoderTable[k].commandCode;
        expected.parameter = EncoderTargetByRule(k, StepsBetween(lastSeen_[k], slots_[k]));
        lastSeen_[k] = slots_[k];
        ++counts_.encoderCommands;
    }
    return expected;
}

const char* CycleRig::CheckExchanges(unsigned exchangesBefore, bool firstDelivered,
                                     bool secondDelivered, bool served, bool marked) {
    const unsigned handled = fake::ExchangesHandled() - exchangesBefore;
    if (handled != unsigned{firstDelivered} + unsigned{secondDelivered}) {
        return "exchanges other than one a cycle and one for a forwarded code";
    }
    counts_.exchanges += handled;
    unsigned number = exchangesBefore;

    if (firstDelivered) {
        std::span<const fake::LoggedRecord> records = fake::ExchangeRecords(++number);
        if (marked) {
            if (records.empty() || !IsMailboxEmptied(records.back())) {
                return "a never-written mailbox is not marked empty at the end of the exchange";
            }
            records = records.first(records.size() - 1);
        }
        if (!records.empty() && records.back().kind == exchange::RecordKind::Write) {
            return "a write after the reads of the inputs";
        }
        if (records.size() < kInputReads) return "the reads of the inputs are missing";
        std::size_t lastPosition = kNoPosition;
        for (const fake::LoggedRecord& record : records.first(records.size() - kInputReads)) {
            if (record.kind != exchange::RecordKind::Write) return "a read among the exports";
            if (const char* broken = CheckWrite(record, lastPosition)) return broken;
        }
        const std::span<const fake::LoggedRecord> reads = records.last(kInputReads);
        for (std::size_t i = 0; i < kInputReads; ++i) {
            const std::uint32_t offset = i == 0 ? kMailboxOffset : kFirstCounter + (i - 1);
            const std::uint32_t size = i == 0 ? 2 : 1;
            if (reads[i].kind != exchange::RecordKind::Read || reads[i].offset != offset ||
                reads[i].size != size) {
                return "the inputs are not read as the mailbox and then the eight counters";
            }
        }
    }
    if (served && secondDelivered) {
        const std::span<const fake::LoggedRecord> records = fake::ExchangeRecords(++number);
        if (records.size() != 1 || !IsMailboxEmptied(records[0])) {
            return "the mailbox's exchange carries more or less than the emptied mailbox";
        }
    }
    return nullptr;
}

const char* CycleRig::CheckWrite(const fake::LoggedRecord& record, std::size_t& lastPosition) {
    const std::uint64_t end = std::uint64_t{record.offset} + record.size;
    if (record.offset < kBlockStart || end > kBlockEnd) return "a write outside 0x9400..0x94F7";
    for (std::uint64_t at = record.offset; at < end; ++at) {
        if (ReservedByte(at)) return "a write to the mailbox, 0x9408, a gap or a counter";
    }
    std::size_t position = 0;
    const ExportEntry* entry = EntryAt(record.offset, &position);
    if (entry == nullptr || record.size != entry->size) return "a write that is no exported value";
    if (lastPosition != kNoPosition && position <= lastPosition) {
        return "a value written twice, or out of the order of the export stages";
    }
    lastPosition = position;
    if (lagging_[position]) {
        lagging_[position] = false;
        --laggingLeft_;
    }

    if (seeded_[position]) {
        seeded_[position] = false;
        TakeSources(*entry, sourceAtWrite_[position]);
        if (SourceEqualsBlock(*entry, BytesAtStart(*entry))) {
            return "a value written though the block held it when connecting";
        }
        ++counts_.writesChecked;
        return nullptr;
    }
    // Written only when a source byte moved since the value was last written; a NaN double
    // compares unequal to itself and so goes out every time.
    const bool nan = entry->kind == ExportKind::SingleFloat64 &&
                     std::isnan(SnapshotDoubleAt(entry->fields[0].offset));
    const bool changed = TakeSources(*entry, sourceAtWrite_[position]);
    if (!changed && !nan) return "a value written though its source did not change";
    ++counts_.writesChecked;
    return nullptr;
}

// Every last-sent copy now holds its value in this cycle's snapshot, whether its write went
// out or not, so these bytes are what a later write must differ from.
void CycleRig::ResyncSources() {
    for (std::size_t position = 0; position < kExportEntryCount; ++position) {
        TakeSources(ExportEntries()[position], sourceAtWrite_[position]);
    }
}

// The first cycle compared every value with what connecting read; those it did not write were
// equal to it, so from now on their sources as they are now count as sent.
void CycleRig::SettleSeededEntries() {
    if (settled_) return;
    settled_ = true;
    const auto& entries = ExportEntries();
    for (std::size_t position = 0; position < kExportEntryCount; ++position) {
        if (!seeded_[position]) continue;
        seeded_[position] = false;
        TakeSources(entries[position], sourceAtWrite_[position]);
    }
}

std::uint16_t CycleRig::BytesAtStart(const ExportEntry& entry) const {
    const std::uint8_t* at = blockSeen_.data() + (entry.destination - kBlockStart);
    return entry.size == 1 ? at[0] : static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

const char* CycleRig::CheckBlockShowsSnapshot() {
    if (!SameBlockBytes(g_bridge.snapshot, stateBlock_.data(), kSnapshotSize)) {
        return "the snapshot is not the state block as the add-on left it";
    }
    // The quick way needs every value to show as the snapshot says; until a value the seed
    // reply misread is written, each value is compared on its own.
    if (dueBlockValid_ && laggingLeft_ == 0) {
        UpdateDueBlock();
        constexpr std::size_t kFirst = kMailboxOffset + 2 - kBlockStart;
        constexpr std::size_t kEnd = kFirstCounter - kBlockStart;
        if (SameBlockBytes(dueBlock_.data() + kFirst,
                           fake::ModuleSpace().bytes + kBlockStart + kFirst, kEnd - kFirst)) {
            return nullptr;
        }
    }
    const char* broken = CheckEveryValue();
    if (broken == nullptr && laggingLeft_ == 0) RebuildDueBlock();
    return broken;
}

const char* CycleRig::CheckEveryValue() const {
    const std::uint8_t* space = fake::ModuleSpace().bytes;
    const auto& entries = ExportEntries();
    for (std::size_t position = 0; position < kExportEntryCount; ++position) {
        if (lagging_[position]) continue;
        const ExportEntry& entry = entries[position];
        const std::uint16_t due = ShownValue(entry);
        const std::uint16_t shown =
            entry.size == 1 ? space[entry.destination]
                            : static_cast<std::uint16_t>(space[entry.destination] |
                                                         space[entry.destination + 1] << 8);
        if (shown != due) return "the block does not show a value of the snapshot";
    }
    for (std::uint32_t at = kMailboxOffset + 2; at < kFirstCounter; ++at) {
        if (ReservedByte(at) && space[at] != blockAtOpen_[at - kBlockStart]) {
            return "a byte nobody owns has changed";
        }
    }
    return nullptr;
}

void CycleRig::WriteDue(const ExportEntry& entry) {
    const std::uint16_t due = ShownValue(entry);
    dueBlock_[entry.destination - kBlockStart] = static_cast<std::uint8_t>(due & 0xFF);
    if (entry.size == 2)
        dueBlock_[entry.destination + 1 - kBlockStart] = static_cast<std::uint8_t>(due >> 8);
}

void CycleRig::RebuildDueBlock() {
    dueBlock_ = blockAtOpen_;
    for (const ExportEntry& entry : ExportEntries()) WriteDue(entry);
    std::memcpy(snapshotAtDue_.data(), g_bridge.snapshot, kSnapshotSize);
    dueBlockValid_ = true;
}

void CycleRig::UpdateDueBlock() {
    const auto& entries = ExportEntries();
    for (std::size_t piece = 0; piece < kPieces; ++piece) {
        const std::size_t at = piece * kPieceSize;
        const std::size_t size = std::min(kPieceSize, kSnapshotSize - at);
        if (SameBlockBytes(g_bridge.snapshot + at, snapshotAtDue_.data() + at, size)) continue;
        std::memcpy(snapshotAtDue_.data() + at, g_bridge.snapshot + at, size);
        const PieceEntries& inPiece = pieceEntries_[piece];
        for (std::size_t i = 0; i < inPiece.count; ++i) WriteDue(entries[inPiece.positions[i]]);
    }
}

const char* CycleRig::CheckCommandBlock(const Expected& expected) const {
    if (!commandBlock_) return nullptr;
    const std::uint8_t* block = commandBlockBytes_.data();
    if (std::memcmp(block + kKeptWordStart, commandBefore_.data() + kKeptWordStart,
                    kKeptWordEnd - kKeptWordStart) != 0 ||
        block[kSpareByte] != commandBefore_[kSpareByte]) {
        return "the command block's kept word or spare byte changed";
    }
    if (!expected.command) {
        if (std::memcmp(block, commandBefore_.data(), commandBefore_.size()) != 0) {
            return "the command block changed though no command was due";
        }
        return nullptr;
    }
    std::int32_t code;
    double parameter;
    std::memcpy(&code, block, sizeof code);
    std::memcpy(&parameter, block + 8, sizeof parameter);
    const bool mailboxShape = code >= 0 && code <= 32767 && parameter == 0.0;
    const bool encoderShape = code >= 1232 && code <= 1239 && std::isfinite(parameter);
    if (!mailboxShape && !encoderShape) return "the command block holds a command no rule makes";
    if (code != expected.code ||
        std::memcmp(&parameter, &expected.parameter, sizeof parameter) != 0) {
        return "the command block does not hold the command due";
    }
    return nullptr;
}

const char* CycleRig::CheckSpaceOutsideBlock() const {
    const std::uint8_t* space = fake::ModuleSpace().bytes;
    const std::uint8_t* before = spaceAfterHandshake_.bytes;
    if (std::memcmp(space, before, kBlockStart) != 0 ||
        std::memcmp(space + kBlockEnd, before + kBlockEnd,
                    exchange::kModuleSpaceSize - kBlockEnd) != 0) {
        return "an offset outside 0x9400..0x94F7 has changed";
    }
    if (fake::ModuleSpace().greetingWrites != 1) return "the greeting was written again";
    return nullptr;
}

}  // namespace cycle_checks
