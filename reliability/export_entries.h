// Every value the bridge exports, seen from outside: where it lands in the module's block and
// which snapshot bytes it comes from. The checks of the poll cycle use it to tell whether a
// write had a reason and whether the block still shows what the snapshot holds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "bridge/bridge.h"
#include "bridge/flag_table.h"

namespace cycle_checks {

enum class ExportKind : std::uint8_t { Display, Flags, SingleInt32, SingleFloat64 };

struct SourceField {
    std::uint16_t offset;  // byte offset in the snapshot
    std::uint8_t size;     // 4 or 8
};

struct ExportEntry {
    ExportKind kind;
    std::uint16_t destination;  // module offset
    std::uint8_t size;          // bytes written there
    std::uint8_t index;         // row in its own table (display n - 1, flag byte k, single i)
    std::uint8_t fieldCount;
    std::array<SourceField, kBitsPerFlagByte> fields;
};

// Displays, then flag bytes (without the flagless one), then single values: the order in which
// a cycle queues them.
constexpr std::size_t kExportEntryCount = kDisplayCount + kFlagByteCount - 1 + kSingleValueCount;

const std::array<ExportEntry, kExportEntryCount>& ExportEntries();

// The entry whose destination starts at `offset`, or nullptr.
const ExportEntry* EntryAt(std::uint32_t offset, std::size_t* position = nullptr);

}  // namespace cycle_checks
