// Where and in which order the export direction writes, seen from the module: displays, then
// flag bytes, then single values, each in ascending offset, before the cycle's reads; the single
// values covering 0x9480..0x94EF once each; the unused bytes never touched.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/unit/export_world.h"

namespace {

using export_world::Write;
using export_world::WritesOf;

class ExportOrder : public export_world::CycleExportTest {
  protected:
    // Every 32-bit field of the state block holds `value`: a digit, a flag sum and an integer
    // everywhere, and a tiny but nonzero double in every 8-byte field.
    void FillStateBlock(std::int32_t value) {
        for (std::uint32_t offset = 0; offset + 4 <= kSnapshotSize; offset += 4) {
            std::memcpy(StateBlock().data() + offset, &value, sizeof value);
        }
    }
    void SetStateField(std::uint32_t offset, std::int32_t value) {
        std::memcpy(StateBlock().data() + offset, &value, sizeof value);
    }
};

bool NeverWritten(std::uint32_t offset) {
    return offset == 0x9408 || (offset >= 0x9427 && offset <= 0x942F) ||
           (offset >= 0x9472 && offset <= 0x947F);
}

TEST_F(ExportOrder, EverythingChangedGoesOutInBlockOrder) {
    FillStateBlock(3);
    const auto records = Cycle();
    const std::vector<Write> writes = WritesOf(records);
    ASSERT_EQ(writes.size(), 33u + 36u + 100u);

    std::size_t i = 0;
    for (std::uint32_t n = 1; n <= 33; ++n, ++i) {
        EXPECT_EQ(writes[i].offset, 0x9430 + 2 * (n - 1));
        EXPECT_EQ(writes[i].data.size(), 2u);
    }
    for (std::uint32_t offset = 0x9402; offset <= 0x9426; ++offset) {
        if (offset == 0x9408) continue;
        EXPECT_EQ(writes[i].offset, offset);
        EXPECT_EQ(writes[i].data.size(), 1u);
        ++i;
    }
    // Each single value begins where the one before ended.
    std::uint32_t next = 0x9480;
    std::size_t sixteenBit = 0;
    for (; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i].offset, next);
        next += static_cast<std::uint32_t>(writes[i].data.size());
        sixteenBit += writes[i].data.size() == 2;
    }
    EXPECT_EQ(next, 0x94F0u);
    EXPECT_EQ(sixteenBit, 12u);

    // The nine reads follow the writes: the mailbox, then the counters.
    ASSERT_EQ(records.size(), writes.size() + 9);
    for (std::size_t r = writes.size(); r < records.size(); ++r) {
        EXPECT_EQ(records[r].kind, exchange::RecordKind::Read);
    }
    EXPECT_EQ(records[writes.size()].offset, 0x9400u);
}

TEST_F(ExportOrder, TheUnusedBytesAreNeverWritten) {
    const std::int32_t fills[] = {1, -1, 2, 10, 0x7FFFFFFF, 0, 123456};
    for (std::int32_t fill : fills) {
        FillStateBlock(fill);
        for (const Write& write : WritesOf(Cycle())) {
            for (std::uint32_t offset = write.offset; offset < write.offset + write.data.size();
                 ++offset) {
                EXPECT_FALSE(NeverWritten(offset)) << std::hex << offset;
                EXPECT_TRUE(offset >= 0x9402 && offset <= 0x94EF) << std::hex << offset;
            }
        }
    }
}

TEST_F(ExportOrder, TheLastSingleValueComesFromEarlyInTheBlock) {
    FillStateBlock(1);
    Cycle();
    SetStateField(0x1B8, 7);  // source of 0x94EF
    SetStateField(0x610, 7);  // source of 0x94EC
    SetStateField(0xF80, 7);  // source of 0x94EB
    SetStateField(0x020, 7);  // source of 0x9484
    SetStateField(0x09C, 7);  // display 1, units
    SetStateField(0x024, 0);  // 0x9402 bit 1
    const std::vector<Write> expected = {{0x9430, {0x6D, 0x2B}}, {0x9402, {0xFC}},
                                         {0x9484, {0x07}},       {0x94EB, {0x07}},
                                         {0x94EC, {0x07}},       {0x94EF, {0x07}}};
    EXPECT_EQ(WritesOf(Cycle()), expected);
}

}  // namespace
