// What arrives at the module when a value is wider than its offset: the low 16 bits of a
// truncated double, the low byte of a 32-bit integer, and the cases C++ leaves undefined (NaN,
// out of range) given their one fixed answer.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "bridge/narrowing.h"
#include "tests/unit/export_world.h"

namespace {

using export_world::ExportCycle;
using export_world::Module16;
using export_world::ModuleByte;
using export_world::SetField;
using export_world::Write;
using Writes = std::vector<Write>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class ExportNarrowing : public export_world::ExportTest {};

TEST(Narrowing, DoubleToInt32AtTheEdgesOfTheRange) {
    EXPECT_EQ(TruncateToInt32(2147483647.999), 2147483647);
    EXPECT_EQ(TruncateToInt32(2147483648.0), kInt32Min);
    EXPECT_EQ(TruncateToInt32(-2147483648.0), kInt32Min);
    EXPECT_EQ(TruncateToInt32(-2147483648.999), kInt32Min);
    EXPECT_EQ(TruncateToInt32(-2147483649.0), kInt32Min);
    EXPECT_EQ(TruncateToInt32(-2147483647.5), -2147483647);
    EXPECT_EQ(TruncateToInt32(kInf), kInt32Min);
    EXPECT_EQ(TruncateToInt32(-kInf), kInt32Min);
    EXPECT_EQ(TruncateToInt32(-kNaN), kInt32Min);
    EXPECT_EQ(TruncateToInt32(-0.0), 0);
    EXPECT_EQ(TruncateToInt32(std::numeric_limits<double>::denorm_min()), 0);
    EXPECT_EQ(TruncateToInt32(-0.999), 0);
}

TEST_F(ExportNarrowing, DisplaysArriveAsTheirLow16Bits) {
    SetField(0x09C, 10);  // display 1: blank units digit
    SetField(0x0A4, 7);   // display 2: 70000
    for (std::uint32_t field = 0x29C; field <= 0x2AC; field += 4) SetField(field, 9);  // 9: 99999
    ExportCycle();
    EXPECT_EQ(Module16(0x9430), 0xFFFF);
    EXPECT_EQ(Module16(0x9432), 0x1170);
    EXPECT_EQ(Module16(0x9440), 0x869F);
}

TEST_F(ExportNarrowing, DoublesAreTruncatedAndCutTo16Bits) {
    SetField(0x008, -0.0);  // equal to the 0.0 last sent at start
    EXPECT_TRUE(ExportCycle().empty());

    const struct {
        double source;
        std::vector<std::uint8_t> sent;
    } steps[] =
        {
            {123.9, {0x7B, 0x00}},   {-1.5, {0xFF, 0xFF}}, {3.0e9, {0x00, 0x00}},
            {70000.0, {0x70, 0x11}}, {-0.4, {0x00, 0x00}}, {kNaN, {0x00, 0x00}},
            {kNaN, {0x00, 0x00}},  // a NaN never equals what was sent, so it goes out every cycle
            {-kInf, {0x00, 0x00}},
        };
    for (const auto& step : steps) {
        SetField(0x008, step.source);
        EXPECT_EQ(ExportCycle(), (Writes{{0x9480, step.sent}})) << step.source;
    }
}

TEST_F(ExportNarrowing, SixteenBitsAtAnOddOffsetLeaveTheNeighboursAlone) {
    fake::ModuleSpace().bytes[0x949C] = 0xA5;
    fake::ModuleSpace().bytes[0x949F] = 0x5A;
    SetField(0x5F0, -2.0);  // 0x949D, the first 16-bit value at an odd offset
    EXPECT_EQ(ExportCycle(), (Writes{{0x949D, {0xFE, 0xFF}}}));
    EXPECT_EQ(ModuleByte(0x949C), 0xA5);
    EXPECT_EQ(Module16(0x949D), 0xFFFE);
    EXPECT_EQ(ModuleByte(0x949F), 0x5A);
}

TEST_F(ExportNarrowing, IntegersArriveAsTheirLowByte) {
    const struct {
        std::int32_t source;
        std::uint8_t sent;
    } steps[] = {{300, 0x2C}, {-1, 0xFF}, {1, 0x01}, {257, 0x01}, {kInt32Min, 0x00}};
    for (const auto& step : steps) {
        SetField(0x020, step.source);
        EXPECT_EQ(ExportCycle(), (Writes{{0x9484, {step.sent}}})) << step.source;
    }
}

}  // namespace
