// Only changes travel: each exported value is compared with what was last queued for it, across
// cycles, and a value whose write could not be queued counts as sent all the same.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/unit/export_world.h"

namespace {

using export_world::ExportCycle;
using export_world::SetField;
using export_world::Write;
using Writes = std::vector<Write>;

class ExportChanges : public export_world::ExportTest {};

// One value of each kind that reaches every stage: display 1, a flag bit and both single types.
void SetOneOfEach(std::int32_t digit, std::int32_t flag, std::int32_t integer, double real) {
    SetField(0x09C, digit);    // display 1, units
    SetField(0x064, flag);     // 0x9403 bit 0
    SetField(0x040, integer);  // 0x9485
    SetField(0x010, real);     // 0x9482
}

TEST_F(ExportChanges, AnUnchangedSnapshotSendsNothingTwice) {
    SetOneOfEach(3, 1, 9, 2.5);
    const Writes first = ExportCycle();
    EXPECT_EQ(
        first,
        (Writes{
            {0x9430, {0x03, 0x00}}, {0x9403, {0x01}}, {0x9482, {0x02, 0x00}}, {0x9485, {0x09}}}));
    EXPECT_TRUE(ExportCycle().empty());
    EXPECT_TRUE(ExportCycle().empty());

    // 2.5 to 2.9 is a change although the same 16 bits go out.
    SetField(0x010, 2.9);
    EXPECT_EQ(ExportCycle(), (Writes{{0x9482, {0x02, 0x00}}}));
}

TEST_F(ExportChanges, AChangeUndoneBetweenCyclesIsNotSent) {
    SetOneOfEach(3, 1, 9, 2.5);
    ExportCycle();
    SetOneOfEach(4, 0, 8, 7.0);
    SetOneOfEach(3, 1, 9, 2.5);
    EXPECT_TRUE(ExportCycle().empty());
}

TEST_F(ExportChanges, ADisplayGoingBlankAndBackIsSentEachTime) {
    const std::int32_t digits[] = {1, 2, 3, 4, 5};
    for (std::uint32_t i = 0; i < 5; ++i) SetField(0x08C + 4 * i, digits[i]);
    EXPECT_EQ(ExportCycle(), (Writes{{0x9430, {0x39, 0x30}}}));
    SetField(0x09C, 10);
    EXPECT_EQ(ExportCycle(), (Writes{{0x9430, {0xFF, 0xFF}}}));
    SetField(0x09C, 5);
    EXPECT_EQ(ExportCycle(), (Writes{{0x9430, {0x39, 0x30}}}));
}

TEST_F(ExportChanges, AWriteThatCouldNotBeQueuedCountsAsSent) {
    LinkClose();
    SetOneOfEach(3, 1, 9, 2.5);
    DecodeDisplays();
    PackIndicatorFlags();
    ExportDisplays();
    EXPECT_EQ(g_bridge.linkResult, LINK_NOT_OPEN);
    ExportIndicatorFlags();
    ExportSingleValues();

    ASSERT_TRUE(LinkOpen(0, g_bridge.linkResult));
    EXPECT_TRUE(ExportCycle().empty());
    SetField(0x040, 10);
    EXPECT_EQ(ExportCycle(), (Writes{{0x9485, {0x0A}}}));
}

}  // namespace
