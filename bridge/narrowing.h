// The narrowings of the export direction, written out so that every input has one defined
// result: the module's offsets are narrower than the add-on's fields, and C++ leaves a double
// outside the int range, or a signed sum that overflows, undefined.
#pragma once

#include <bit>
#include <cstdint>
#include <limits>

// The stages hand LinkWrite the address of a wider staging value and a smaller size, counting
// on its lowest-addressed bytes being its low-order bytes, low byte first, which is the byte
// order of the module's offsets.
static_assert(std::endian::native == std::endian::little,
              "staging values are sent as their lowest-addressed bytes");

constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();

// Truncation toward zero. A NaN, or a value whose truncation falls outside -2^31..2^31-1,
// gives -2^31; the test is written so that a NaN fails it.
constexpr std::int32_t TruncateToInt32(double value) {
    constexpr double kBelowRange = -2147483649.0;  // -2^31 - 1: truncates out of range
    constexpr double kAboveRange = 2147483648.0;   // 2^31
    if (!(value > kBelowRange && value < kAboveRange)) return kInt32Min;
    return static_cast<std::int32_t>(value);
}

// Two's complement bits of a sum taken in uint32_t, where overflow wraps by definition.
constexpr std::int32_t WrapToInt32(std::uint32_t bits) {
    return static_cast<std::int32_t>(bits);
}

constexpr std::uint16_t Low16Bits(std::int32_t value) {
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu);
}

static_assert(TruncateToInt32(123.9) == 123 && TruncateToInt32(-1.5) == -1);
static_assert(TruncateToInt32(2147483647.9) == 2147483647);
static_assert(TruncateToInt32(-2147483648.9) == kInt32Min);
// The first doubles outside either bound: were a bound moved by one, these would reach the
// static_cast out of range, and a constant expression may not do that.
static_assert(TruncateToInt32(-2147483649.0) == kInt32Min);
static_assert(TruncateToInt32(2147483648.0) == kInt32Min && TruncateToInt32(3.0e9) == kInt32Min);
static_assert(TruncateToInt32(std::numeric_limits<double>::quiet_NaN()) == kInt32Min);
static_assert(Low16Bits(70000) == 0x1170 && Low16Bits(-1) == 0xFFFF);
static_assert(WrapToInt32(0xFFFFFFFFu) == -1);
