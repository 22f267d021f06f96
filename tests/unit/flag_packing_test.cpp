// Flag fields summed into bytes: each field lands on its own bit (rows with gaps included),
// values other than 0 and 1 carry or borrow as in any sum, and the whole 32-bit sum decides
// whether the byte goes out.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "tests/unit/export_world.h"

namespace {

using export_world::ExportCycle;
using export_world::ModuleByte;
using export_world::SetField;
using export_world::Write;
using Writes = std::vector<Write>;

class FlagPacking : public export_world::ExportTest {};

std::int32_t Packed(std::uint32_t offset) {
    return g_bridge.packedFlags[offset - 0x9402];
}

TEST_F(FlagPacking, RowsWithGapsPutEachFieldOnItsOwnBit) {
    SetField(0x024, 1);  // 0x9402 starts at bit 1
    SetField(0x060, 1);  // 0x9402 bit 7
    // 0x940B: bits 0, 1, 2, 4, 6, 7; none at 3 and 5.
    for (std::uint32_t field : {0x270, 0x274, 0x280, 0x284, 0x288, 0x28C}) SetField(field, 1);
    // 0x941A: bits 0, 2, 4, 6.
    for (std::uint32_t field : {0xB14, 0xB18, 0xB28, 0xB2C}) SetField(field, 1);
    // 0x941B: bits 0, 1, 3.
    for (std::uint32_t field : {0xB30, 0xB34, 0xB38}) SetField(field, 1);
    SetField(0xC10, 1);  // 0x941F: one field, bit 0

    EXPECT_EQ(ExportCycle(), (Writes{{0x9402, {0x82}},
                                     {0x940B, {0xD7}},
                                     {0x941A, {0x55}},
                                     {0x941B, {0x0B}},
                                     {0x941F, {0x01}}}));
    EXPECT_EQ(ModuleByte(0x940B), 0xD7);
}

TEST_F(FlagPacking, FieldsAreAddedNotOred) {
    SetField(0x024, 1);
    SetField(0x030, 2);  // bit 2 holding 2 lands on bit 3
    PackIndicatorFlags();
    EXPECT_EQ(Packed(0x9402), 0x02 + 0x08);
    SetField(0x034, 1);  // bit 3 itself: the two add up to bit 4
    PackIndicatorFlags();
    EXPECT_EQ(Packed(0x9402), 0x02 + 0x10);

    SetField(0x064, -1);  // 0x9403 bit 0
    EXPECT_EQ(ExportCycle(), (Writes{{0x9402, {0x12}}, {0x9403, {0xFF}}}));
    EXPECT_EQ(Packed(0x9403), -1);
}

TEST_F(FlagPacking, ACarryOutOfTheByteIsStillSent) {
    SetField(0x0CC, 2);  // 0x9403 bit 7: 2 x 128 = 256
    EXPECT_EQ(ExportCycle(), (Writes{{0x9403, {0x00}}}));
    EXPECT_EQ(Packed(0x9403), 256);

    SetField(0x0CC, 1);
    EXPECT_EQ(ExportCycle(), (Writes{{0x9403, {0x80}}}));
    SetField(0x0CC, 0);  // a flag going out sends the byte without it
    EXPECT_EQ(ExportCycle(), (Writes{{0x9403, {0x00}}}));
}

TEST_F(FlagPacking, SumsWrapAt32Bits) {
    // 0x9403 bit 7 and bit 6 fed far past the range: the sum wraps instead of overflowing.
    SetField(0x0CC, std::numeric_limits<std::int32_t>::max());
    SetField(0x088, std::numeric_limits<std::int32_t>::min());
    PackIndicatorFlags();
    // 128 x (2^31 - 1) + 64 x -2^31 modulo 2^32 = -128, taken as a signed 32-bit sum.
    EXPECT_EQ(Packed(0x9403), -128);
    EXPECT_EQ(ExportCycle(), (Writes{{0x9403, {0x80}}}));
}

TEST_F(FlagPacking, TheFlaglessByteIsNeverWritten) {
    for (std::uint32_t field = 0; field + 4 <= kSnapshotSize; field += 4) SetField(field, 1);
    for (const Write& write : ExportCycle()) EXPECT_NE(write.offset, 0x9408u);
    EXPECT_EQ(Packed(0x9408), 0);
    for (std::uint32_t field = 0; field + 4 <= kSnapshotSize; field += 4) SetField(field, -77);
    for (const Write& write : ExportCycle()) EXPECT_NE(write.offset, 0x9408u);
}

}  // namespace
