// Single fields of the add-on's state block passed on one by one, without combining them: 32-bit
// integers as one byte, doubles as 16-bit integers. Their destinations tile 0x9480..0x94EF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "bridge/bridge.h"

enum SingleValueType : std::uint8_t {
    kInt32,    // 32-bit signed field, sent as its low byte
    kFloat64,  // double field, truncated to int32 and sent as its low 16 bits
};

struct SingleValueRow {
    std::uint16_t destination;  // module offset
    std::uint8_t size;          // destination bytes: 1 for kInt32, 2 for kFloat64
    std::uint16_t source;       // byte offset of the field in the snapshot
    SingleValueType type;
};

constexpr std::uint16_t kFirstSingleValueOffset = 0x9480;
constexpr std::uint16_t kSingleValueRangeEnd = 0x94F0;  // one past the last byte

// In queuing order, which is ascending destination. The last four sources lie earlier in the
// snapshot than their neighbours and are taken in that order all the same.
// clang-format off
constexpr SingleValueRow kSingleValueTable[] = {
    {0x9480, 2, 0x008, kFloat64},
    {0x9482, 2, 0x010, kFloat64},
    {0x9484, 1, 0x020, kInt32},
    {0x9485, 1, 0x040, kInt32},
    {0x9486, 1, 0x044, kInt32},
    {0x9487, 1, 0x0BC, kInt32},
    {0x9488, 2, 0x0F8, kFloat64},
    {0x948A, 2, 0x100, kFloat64},
    {0x948C, 2, 0x110, kFloat64},
    {0x948E, 1, 0x1BC, kInt32},
    {0x948F, 1, 0x1F4, kInt32},
    {0x9490, 1, 0x2B0, kInt32},
    {0x9491, 1, 0x2B4, kInt32},
    {0x9492, 1, 0x2CC, kInt32},
    {0x9493, 1, 0x2F0, kInt32},
    {0x9494, 1, 0x2F4, kInt32},
    {0x9495, 1, 0x30C, kInt32},
    {0x9496, 1, 0x4D8, kInt32},
    {0x9497, 1, 0x580, kInt32},
    {0x9498, 1, 0x584, kInt32},
    {0x9499, 1, 0x588, kInt32},
    {0x949A, 1, 0x5A4, kInt32},
    {0x949B, 1, 0x5B4, kInt32},
    {0x949C, 1, 0x5B8, kInt32},
    {0x949D, 2, 0x5F0, kFloat64},
    {0x949F, 2, 0x6A8, kFloat64},
    {0x94A1, 2, 0x6C0, kFloat64},
    {0x94A3, 1, 0x6D0, kInt32},
    {0x94A4, 1, 0x6E0, kInt32},
    {0x94A5, 2, 0x6E8, kFloat64},
    {0x94A7, 1, 0x71C, kInt32},
    {0x94A8, 1, 0x720, kInt32},
    {0x94A9, 1, 0x7A8, kInt32},
    {0x94AA, 1, 0x7AC, kInt32},
    {0x94AB, 1, 0x82C, kInt32},
    {0x94AC, 1, 0x860, kInt32},
    {0x94AD, 1, 0x888, kInt32},
    {0x94AE, 1, 0x88C, kInt32},
    {0x94AF, 1, 0x8C4, kInt32},
    {0x94B0, 1, 0x8C8, kInt32},
    {0x94B1, 1, 0x914, kInt32},
    {0x94B2, 1, 0x918, kInt32},
    {0x94B3, 1, 0x91C, kInt32},
    {0x94B4, 1, 0x920, kInt32},
    {0x94B5, 1, 0x924, kInt32},
    {0x94B6, 1, 0x928, kInt32},
    {0x94B7, 1, 0x92C, kInt32},
    {0x94B8, 1, 0x930, kInt32},
    {0x94B9, 1, 0x934, kInt32},
    {0x94BA, 1, 0x938, kInt32},
    {0x94BB, 1, 0x93C, kInt32},
    {0x94BC, 1, 0x940, kInt32},
    {0x94BD, 1, 0x944, kInt32},
    {0x94BE, 1, 0x948, kInt32},
    {0x94BF, 1, 0x94C, kInt32},
    {0x94C0, 1, 0x950, kInt32},
    {0x94C1, 1, 0x954, kInt32},
    {0x94C2, 1, 0x958, kInt32},
    {0x94C3, 1, 0x95C, kInt32},
    {0x94C4, 1, 0x99C, kInt32},
    {0x94C5, 1, 0x9B4, kInt32},
    {0x94C6, 1, 0x9B8, kInt32},
    {0x94C7, 1, 0x9D8, kInt32},
    {0x94C8, 1, 0x9F0, kInt32},
    {0x94C9, 1, 0x9F4, kInt32},
    {0x94CA, 1, 0xA2C, kInt32},
    {0x94CB, 1, 0xA44, kInt32},
    {0x94CC, 1, 0xA60, kInt32},
    {0x94CD, 1, 0xA78, kInt32},
    {0x94CE, 1, 0xA7C, kInt32},
    {0x94CF, 1, 0xA94, kInt32},
    {0x94D0, 1, 0xA98, kInt32},
    {0x94D1, 1, 0xA9C, kInt32},
    {0x94D2, 2, 0xB20, kFloat64},
    {0x94D4, 1, 0xB98, kInt32},
    {0x94D5, 1, 0xC04, kInt32},
    {0x94D6, 2, 0xC18, kFloat64},
    {0x94D8, 2, 0xC98, kFloat64},
    {0x94DA, 1, 0xD40, kInt32},
    {0x94DB, 1, 0xD50, kInt32},
    {0x94DC, 1, 0xD54, kInt32},
    {0x94DD, 1, 0xD58, kInt32},
    {0x94DE, 1, 0xE98, kInt32},
    {0x94DF, 1, 0xE9C, kInt32},
    {0x94E0, 1, 0xEA0, kInt32},
    {0x94E1, 1, 0xEA4, kInt32},
    {0x94E2, 1, 0xEA8, kInt32},
    {0x94E3, 1, 0xEAC, kInt32},
    {0x94E4, 1, 0xEB0, kInt32},
    {0x94E5, 1, 0xEB4, kInt32},
    {0x94E6, 1, 0xEB8, kInt32},
    {0x94E7, 1, 0xEBC, kInt32},
    {0x94E8, 1, 0xEF4, kInt32},
    {0x94E9, 1, 0xEF8, kInt32},
    {0x94EA, 1, 0xEFC, kInt32},
    {0x94EB, 1, 0xF80, kInt32},
    {0x94EC, 1, 0x610, kInt32},
    {0x94ED, 1, 0x638, kInt32},
    {0x94EE, 1, 0x624, kInt32},
    {0x94EF, 1, 0x1B8, kInt32},
};
// clang-format on

namespace single_value_table_checks {

// Each entry begins where the one before ends, from 0x9480 through 0x94EF.
constexpr bool TilesRange() {
    std::uint32_t next = kFirstSingleValueOffset;
    for (const SingleValueRow& row : kSingleValueTable) {
        if (row.destination != next) return false;
        next += row.size;
    }
    return next == kSingleValueRangeEnd;
}

constexpr bool SizesMatchTypes() {
    for (const SingleValueRow& row : kSingleValueTable) {
        if (row.size != (row.type == kInt32 ? 1 : 2)) return false;
    }
    return true;
}

// Each source is a whole field of the snapshot, used by one entry only.
constexpr bool SourcesInSnapshotAndDistinct() {
    for (std::size_t i = 0; i < std::size(kSingleValueTable); ++i) {
        const SingleValueRow& row = kSingleValueTable[i];
        const std::uint32_t width = row.type == kInt32 ? 4 : 8;
        if (row.source % 4 != 0 || row.source + width > kSnapshotSize) return false;
        for (std::size_t j = i + 1; j < std::size(kSingleValueTable); ++j) {
            if (kSingleValueTable[j].source == row.source) return false;
        }
    }
    return true;
}

}  // namespace single_value_table_checks

static_assert(std::size(kSingleValueTable) == kSingleValueCount);
static_assert(single_value_table_checks::TilesRange(), "entries tile 0x9480..0x94EF");
static_assert(single_value_table_checks::SizesMatchTypes(), "int32 sends 1 byte, float64 2");
static_assert(single_value_table_checks::SourcesInSnapshotAndDistinct());
