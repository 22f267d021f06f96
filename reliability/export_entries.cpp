#include "reliability/export_entries.h"

#include "bridge/display_table.h"
#include "bridge/single_value_table.h"

namespace cycle_checks {
namespace {

// The block's start written out again on purpose, as in cycle_rig.cpp: the checks' own.
constexpr std::uint32_t kBlockStart = 0x9400;
constexpr std::size_t kBlockSpan = 0x100;

constexpr std::array<ExportEntry, kExportEntryCount> BuildEntries() {
    std::array<ExportEntry, kExportEntryCount> entries{};
    std::size_t next = 0;
    for (std::size_t n = 0; n < kDisplayCount; ++n) {
        const DisplayRow& row = kDisplayTable[n];
        ExportEntry& entry = entries[next++];
        entry = {ExportKind::Display, row.destination, 2, static_cast<std::uint8_t>(n), 0, {}};
        for (std::size_t i = 0; i < row.digitCount; ++i) {
            entry.fields[entry.fieldCount++] = {row.fields[i].source, 4};
        }
    }
    for (std::size_t k = 0; k < kFlagByteCount; ++k) {
        const FlagRow& row = kFlagTable[k];
        if (FlagSourceCount(row) == 0) continue;
        ExportEntry& entry = entries[next++];
        entry = {ExportKind::Flags, row.destination, 1, static_cast<std::uint8_t>(k), 0, {}};
        for (std::uint16_t source : row.sources) {
            if (source != kNone) entry.fields[entry.fieldCount++] = {source, 4};
        }
    }
    for (std::size_t i = 0; i < kSingleValueCount; ++i) {
        const SingleValueRow& row = kSingleValueTable[i];
        const bool isInt = row.type == kInt32;
        ExportEntry& entry = entries[next++];
        entry = {isInt ? ExportKind::SingleInt32 : ExportKind::SingleFloat64,
                 row.destination,
                 row.size,
                 static_cast<std::uint8_t>(i),
                 1,
                 {}};
        entry.fields[0] = {row.source, static_cast<std::uint8_t>(isInt ? 4 : 8)};
    }
    return entries;
}

constexpr std::array<ExportEntry, kExportEntryCount> kEntries = BuildEntries();

// Position of the entry starting at each offset of the block, or -1.
constexpr std::array<std::int16_t, kBlockSpan> BuildLookup() {
    std::array<std::int16_t, kBlockSpan> lookup{};
    for (auto& slot : lookup) slot = -1;
    for (std::size_t i = 0; i < kEntries.size(); ++i) {
        lookup[kEntries[i].destination - kBlockStart] = static_cast<std::int16_t>(i);
    }
    return lookup;
}

constexpr std::array<std::int16_t, kBlockSpan> kLookup = BuildLookup();

}  // namespace

const std::array<ExportEntry, kExportEntryCount>& ExportEntries() {
    return kEntries;
}

const ExportEntry* EntryAt(std::uint32_t offset, std::size_t* position) {
    if (offset < kBlockStart || offset - kBlockStart >= kBlockSpan) return nullptr;
    const std::int16_t found = kLookup[offset - kBlockStart];
    if (found < 0) return nullptr;
    if (position != nullptr) *position = static_cast<std::size_t>(found);
    return &kEntries[static_cast<std::size_t>(found)];
}

}  // namespace cycle_checks
