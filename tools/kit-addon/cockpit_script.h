// A cockpit in use, played on the state block so that a person recognises it downstream:
// displays that count, lamps that blink, values that move.
#pragma once

#include <cstdint>

constexpr std::uint32_t kScriptTickMs = 100;

// Sets the scripted fields of the state block to what they show at `tick` (ticks since start).
void PlayCockpitScript(std::uint8_t* stateBlock, std::uint32_t tick);
