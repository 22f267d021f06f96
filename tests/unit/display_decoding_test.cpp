// Digit fields to display numbers: what a digit is, what a blank does where, and the two
// directions the displays are read in. Field offsets are written out here as the add-on lays
// them out, so a display row that points elsewhere fails too.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <limits>

#include "tests/unit/export_world.h"

namespace {

using export_world::ExportCycle;
using export_world::Module16;
using export_world::SetField;

constexpr std::int32_t kBlank = 10;

// Fills consecutive digit fields from `first` upward, in ascending offset.
void SetDigits(std::uint32_t first, std::initializer_list<std::int32_t> digits) {
    std::uint32_t offset = first;
    for (std::int32_t digit : digits) {
        SetField(offset, digit);
        offset += 4;
    }
}

double Decoded(std::size_t display) {
    DecodeDisplays();
    return g_bridge.displays[display - 1];
}

class DisplayDecoding : public export_world::ExportTest {};

TEST_F(DisplayDecoding, FiveDigitsFromTheTopWithBlanks) {
    SetDigits(0x08C, {1, 2, 3, 4, 5});
    EXPECT_EQ(Decoded(1), 12345.0);
    SetDigits(0x08C, {1, 2, kBlank, 4, 5});  // the blank discards the 12000 before it
    EXPECT_EQ(Decoded(1), 45.0);
    SetDigits(0x08C, {kBlank, 99, 1, 2, 3});  // leading blanks read as zeros
    EXPECT_EQ(Decoded(1), 123.0);
    SetDigits(0x08C, {9, 9, 9, 9, kBlank});  // a blank units digit blanks the display
    EXPECT_EQ(Decoded(1), kBlankDisplay);
    SetDigits(0x08C, {6, 5, 5, 3, 5});  // a real 65535 looks like a blank on the far side
    EXPECT_EQ(Decoded(1), 65535.0);
    SetDigits(0x0A4, {0, 0, 0, 0, 7});
    EXPECT_EQ(Decoded(2), 7.0);
}

TEST_F(DisplayDecoding, DisplaysTwentyTwoToTwentyFiveRunFromTheUnitsUp) {
    SetDigits(0x9A0, {5, 4, 3, 2, 1});
    EXPECT_EQ(Decoded(22), 12345.0);
    SetDigits(0x9A0, {kBlank, 4, 3, 2, 1});  // a blank units digit is only a leading blank here
    EXPECT_EQ(Decoded(22), 12340.0);
    SetDigits(0x9A0, {5, 4, 3, 2, kBlank});  // the ten-thousands is processed last
    EXPECT_EQ(Decoded(22), kBlankDisplay);
    SetDigits(0x9BC, {1, 0, 0, 0, 0});
    EXPECT_EQ(Decoded(23), 1.0);
    SetDigits(0x9DC, {0, 0, 0, 0, 4});
    EXPECT_EQ(Decoded(24), 40000.0);
    SetDigits(0x9F8, {9, 8, 7, 6, 5});
    EXPECT_EQ(Decoded(25), 56789.0);
}

TEST_F(DisplayDecoding, ShortDisplays) {
    SetDigits(0x4DC, {4, 2});
    EXPECT_EQ(Decoded(13), 42.0);
    SetDigits(0x4DC, {kBlank, 7});
    EXPECT_EQ(Decoded(13), 7.0);
    SetDigits(0x4DC, {4, 1000});
    EXPECT_EQ(Decoded(13), kBlankDisplay);
    SetDigits(0x1F8, {1, 2, 0, 0});
    EXPECT_EQ(Decoded(7), 1200.0);
    SetDigits(0xCC8, {3, 2, 1});
    EXPECT_EQ(Decoded(33), 321.0);
}

TEST_F(DisplayDecoding, NegativeFieldsAreDigits) {
    SetDigits(0x1A8, {0, 0, -1});
    EXPECT_EQ(Decoded(3), -1.0);
    EXPECT_EQ(ExportCycle().size(), 1u);
    EXPECT_EQ(Module16(0x9434), 0xFFFF);  // the same bits as a blank display

    SetDigits(0x4DC, {-3, 5});
    EXPECT_EQ(Decoded(13), -25.0);
    SetDigits(0x4DC, {-3, kBlank});
    EXPECT_EQ(Decoded(13), kBlankDisplay);

    // The product leaves the int32 range; the sum in double stays exact.
    const std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    SetDigits(0x08C, {lowest, 0, 0, 0, 1});
    EXPECT_EQ(Decoded(1), -21474836480000.0 + 1.0);
}

TEST_F(DisplayDecoding, AllZeroFieldsDecodeToZeroAndSendNothing) {
    DecodeDisplays();
    for (double value : g_bridge.displays) EXPECT_EQ(value, 0.0);
    EXPECT_TRUE(ExportCycle().empty());
}

}  // namespace
