#include "tools/kit-addon/cockpit_script.h"

#include <cstring>

namespace {

// A display: digit fields of 4 bytes each from `firstField`, most significant first.
struct CountingDisplay {
    std::uint32_t firstField;
    std::uint32_t digits;
    std::uint32_t ticksPerCount;
};

// A lamp flag (int32 0 or 1) that is on for `ticksOn` ticks, then off as long; `phase` shifts it.
struct BlinkingLamp {
    std::uint32_t field;
    std::uint32_t ticksOn;
    std::uint32_t phase;
};

// clang-format off
constexpr CountingDisplay kCountingDisplays[] = {
    {0x08C, 5, 1},   // display 1 (0x9430): counts every tick
    {0x1A8, 3, 10},  // display 3 (0x9434): counts every second
};

constexpr BlinkingLamp kBlinkingLamps[] = {
    {0x024, 5, 0},    // bit 1 of 0x9402
    {0x030, 5, 5},    // bit 2 of 0x9402, opposite to the one before
    {0x034, 10, 0},   // bit 3 of 0x9402, slower
};
// clang-format on

constexpr std::uint32_t kCountingValueField = 0x020;  // int32, to 0x9484 as its low byte
constexpr std::uint32_t kMovingValueField = 0x008;    // double, to 0x9480 as an integer

void StoreInt32(std::uint8_t* block, std::uint32_t offset, std::int32_t value) {
    std::memcpy(block + offset, &value, sizeof value);
}

void StoreDouble(std::uint8_t* block, std::uint32_t offset, double value) {
    std::memcpy(block + offset, &value, sizeof value);
}

void ShowNumber(std::uint8_t* block, const CountingDisplay& display, std::uint32_t number) {
    for (std::uint32_t i = display.digits; i-- > 0;) {
        StoreInt32(block, display.firstField + 4 * i, static_cast<std::int32_t>(number % 10));
        number /= 10;
    }
}

}  // namespace

void PlayCockpitScript(std::uint8_t* stateBlock, std::uint32_t tick) {
    for (const CountingDisplay& display : kCountingDisplays) {
        ShowNumber(stateBlock, display, tick / display.ticksPerCount);
    }
    for (const BlinkingLamp& lamp : kBlinkingLamps) {
        const bool on = (tick + lamp.phase) / lamp.ticksOn % 2 == 0;
        StoreInt32(stateBlock, lamp.field, on ? 1 : 0);
    }
    StoreInt32(stateBlock, kCountingValueField, static_cast<std::int32_t>(tick % 1000));
    StoreDouble(stateBlock, kMovingValueField, 250.0 + 0.5 * (tick % 200));
}
