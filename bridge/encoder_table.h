// The input half of the bridge block: the command mailbox at 0x9400 and the eight encoder
// counters at 0x94F0..0x94F7, each counter turning one display-backed value of the add-on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "bridge/bridge.h"

constexpr std::uint32_t kMailboxOffset = 0x9400;
constexpr std::int16_t kMailboxEmpty = -1;  // what the bridge writes back once a code is served

// Snapshot fields that change how an encoder's target is computed.
constexpr std::uint32_t kHundredthsSwitchField = 0x1C0;  // display 4's hundreds digit
constexpr std::uint32_t kSignField = 0x1F4;              // display 7's sign
constexpr std::int32_t kMinusSign = 12;

enum class EncoderRule : std::uint8_t {
    None,
    Hundredths,  // above 9 in the switch field, the value moves in hundredths of the display
    SignField,   // the display's magnitude is negated when its sign field shows minus
};

struct EncoderRow {
    std::uint32_t counterOffset;  // 8-bit counter in the bridge block
    std::int32_t commandCode;     // command that sets the value to an absolute target
    std::uint32_t display;        // decoded display (1..33) the target starts from
    std::int32_t step;            // change per counted step
    std::int32_t blankStep;       // change per step while the display is blank
    EncoderRule rule;
};

// clang-format off
constexpr EncoderRow kEncoderTable[] = {
    //  counter  code  display  step  blank step  rule
    {   0x94F0,  1232,  6,      100,  100,        EncoderRule::None       },
    {   0x94F1,  1233,  3,        1,    1,        EncoderRule::None       },
    {   0x94F2,  1234,  8,        1,    1,        EncoderRule::None       },
    {   0x94F3,  1235,  4,        1,    1,        EncoderRule::Hundredths },
    {   0x94F4,  1236,  7,      100,   50,        EncoderRule::SignField  },
    {   0x94F5,  1237,  5,        1,    1,        EncoderRule::None       },
    {   0x94F6,  1238,  1,      500,  500,        EncoderRule::None       },
    {   0x94F7,  1239,  2,       50,   50,        EncoderRule::None       },
};
// clang-format on

static_assert(std::size(kEncoderTable) == kEncoderCount);

constexpr bool EncoderRowsInOrder() {
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        const EncoderRow& row = kEncoderTable[k];
        if (row.counterOffset != 0x94F0 + k) return false;
        if (row.commandCode != 1232 + static_cast<std::int32_t>(k)) return false;
        if (row.display < 1 || row.display > 8) return false;
    }
    return true;
}
static_assert(EncoderRowsInOrder(), "counters 0x94F0 + k, codes 1232 + k, displays 1..8");
