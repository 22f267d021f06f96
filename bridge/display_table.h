// The add-on's numeric displays: where each one's digit fields lie in the state block, what each
// digit is worth, and which 16-bit offset of the module receives the decoded number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "bridge/bridge.h"

constexpr std::size_t kMaxDigits = 5;

struct DigitField {
    std::uint16_t source;  // byte offset of the 32-bit digit field in the snapshot
    std::uint32_t weight;  // 1, 10, 100, 1000 or 10000
};

struct DisplayRow {
    std::uint16_t destination;      // module offset of the 16-bit value
    std::uint8_t digitCount;        // fields in use, 2 to 5
    DigitField fields[kMaxDigits];  // in processing order; the last one decides blankness
};

// Fields are processed in ascending offset. Displays 22..25 keep their units digit at the lowest
// offset, so they run from the units up; all others run from the most significant digit down.
// clang-format off
constexpr DisplayRow kDisplayTable[] = {
    {0x9430, 5, {{0x08C, 10000}, {0x090, 1000}, {0x094, 100}, {0x098, 10}, {0x09C, 1}}},  //  1
    {0x9432, 5, {{0x0A4, 10000}, {0x0A8, 1000}, {0x0AC, 100}, {0x0B0, 10}, {0x0B4, 1}}},  //  2
    {0x9434, 3, {{0x1A8, 100}, {0x1AC, 10}, {0x1B0, 1}}},                                //  3
    {0x9436, 3, {{0x1C0, 100}, {0x1C4, 10}, {0x1C8, 1}}},                                //  4
    {0x9438, 3, {{0x1D0, 100}, {0x1D4, 10}, {0x1D8, 1}}},                                //  5
    {0x943A, 5, {{0x1E0, 10000}, {0x1E4, 1000}, {0x1E8, 100}, {0x1EC, 10}, {0x1F0, 1}}},  //  6
    {0x943C, 4, {{0x1F8, 1000}, {0x1FC, 100}, {0x200, 10}, {0x204, 1}}},                 //  7
    {0x943E, 3, {{0x210, 100}, {0x214, 10}, {0x218, 1}}},                                //  8
    {0x9440, 5, {{0x29C, 10000}, {0x2A0, 1000}, {0x2A4, 100}, {0x2A8, 10}, {0x2AC, 1}}},  //  9
    {0x9442, 5, {{0x2B8, 10000}, {0x2BC, 1000}, {0x2C0, 100}, {0x2C4, 10}, {0x2C8, 1}}},  // 10
    {0x9444, 5, {{0x2DC, 10000}, {0x2E0, 1000}, {0x2E4, 100}, {0x2E8, 10}, {0x2EC, 1}}},  // 11
    {0x9446, 5, {{0x2F8, 10000}, {0x2FC, 1000}, {0x300, 100}, {0x304, 10}, {0x308, 1}}},  // 12
    {0x9448, 2, {{0x4DC, 10}, {0x4E0, 1}}},                                              // 13
    {0x944A, 3, {{0x4E4, 100}, {0x4E8, 10}, {0x4EC, 1}}},                                // 14
    {0x944C, 2, {{0x4F0, 10}, {0x4F4, 1}}},                                              // 15
    {0x944E, 3, {{0x4F8, 100}, {0x4FC, 10}, {0x500, 1}}},                                // 16
    {0x9450, 3, {{0x504, 100}, {0x508, 10}, {0x50C, 1}}},                                // 17
    {0x9452, 4, {{0x898, 1000}, {0x89C, 100}, {0x8A0, 10}, {0x8A4, 1}}},                 // 18
    {0x9454, 4, {{0x8AC, 1000}, {0x8B0, 100}, {0x8B4, 10}, {0x8B8, 1}}},                 // 19
    {0x9456, 4, {{0x8D4, 1000}, {0x8D8, 100}, {0x8DC, 10}, {0x8E0, 1}}},                 // 20
    {0x9458, 4, {{0x8E8, 1000}, {0x8EC, 100}, {0x8F0, 10}, {0x8F4, 1}}},                 // 21
    {0x945A, 5, {{0x9A0, 1}, {0x9A4, 10}, {0x9A8, 100}, {0x9AC, 1000}, {0x9B0, 10000}}},  // 22
    {0x945C, 5, {{0x9BC, 1}, {0x9C0, 10}, {0x9C4, 100}, {0x9C8, 1000}, {0x9CC, 10000}}},  // 23
    {0x945E, 5, {{0x9DC, 1}, {0x9E0, 10}, {0x9E4, 100}, {0x9E8, 1000}, {0x9EC, 10000}}},  // 24
    {0x9460, 5, {{0x9F8, 1}, {0x9FC, 10}, {0xA00, 100}, {0xA04, 1000}, {0xA08, 10000}}},  // 25
    {0x9462, 5, {{0xA18, 10000}, {0xA1C, 1000}, {0xA20, 100}, {0xA24, 10}, {0xA28, 1}}},  // 26
    {0x9464, 5, {{0xA30, 10000}, {0xA34, 1000}, {0xA38, 100}, {0xA3C, 10}, {0xA40, 1}}},  // 27
    {0x9466, 5, {{0xA4C, 10000}, {0xA50, 1000}, {0xA54, 100}, {0xA58, 10}, {0xA5C, 1}}},  // 28
    {0x9468, 5, {{0xA64, 10000}, {0xA68, 1000}, {0xA6C, 100}, {0xA70, 10}, {0xA74, 1}}},  // 29
    {0x946A, 4, {{0xA80, 1000}, {0xA84, 100}, {0xA88, 10}, {0xA8C, 1}}},                 // 30
    {0x946C, 5, {{0xB70, 10000}, {0xB74, 1000}, {0xB78, 100}, {0xB7C, 10}, {0xB80, 1}}},  // 31
    {0x946E, 5, {{0xB84, 10000}, {0xB88, 1000}, {0xB8C, 100}, {0xB90, 10}, {0xB94, 1}}},  // 32
    {0x9470, 3, {{0xCC8, 100}, {0xCCC, 10}, {0xCD0, 1}}},                                // 33
};
// clang-format on

constexpr std::uint16_t DisplayOffset(std::size_t number) {
    return static_cast<std::uint16_t>(0x9430 + 2 * (number - 1));
}

namespace display_table_checks {

constexpr std::uint32_t PowerOfTen(std::size_t exponent) {
    std::uint32_t value = 1;
    for (std::size_t i = 0; i < exponent; ++i) value *= 10;
    return value;
}

// Each display's fields are consecutive 4-byte fields inside the snapshot, worth 10^(count-1)
// down to 1, or (displays 22..25) 1 up to 10^(count-1).
constexpr bool RowIsWellFormed(std::size_t number) {
    const DisplayRow& row = kDisplayTable[number - 1];
    const bool unitsFirst = number >= 22 && number <= 25;
    if (row.destination != DisplayOffset(number)) return false;
    if (row.digitCount < 2 || row.digitCount > kMaxDigits) return false;
    for (std::size_t i = 0; i < row.digitCount; ++i) {
        const DigitField& field = row.fields[i];
        if (i > 0 && field.source != row.fields[i - 1].source + 4) return false;
        if (field.source % 4 != 0 || field.source + 4u > kSnapshotSize) return false;
        const std::size_t exponent = unitsFirst ? i : row.digitCount - 1 - i;
        if (field.weight != PowerOfTen(exponent)) return false;
    }
    for (std::size_t i = row.digitCount; i < kMaxDigits; ++i) {
        if (row.fields[i].source != 0 || row.fields[i].weight != 0) return false;
    }
    return true;
}

constexpr bool AllRowsWellFormed() {
    for (std::size_t n = 1; n <= kDisplayCount; ++n) {
        if (!RowIsWellFormed(n)) return false;
    }
    return true;
}

}  // namespace display_table_checks

static_assert(std::size(kDisplayTable) == kDisplayCount);
static_assert(display_table_checks::AllRowsWellFormed(),
              "display n at 0x9430 + 2(n-1), consecutive fields, powers of ten");
static_assert(DisplayOffset(kDisplayCount) == 0x9470);
