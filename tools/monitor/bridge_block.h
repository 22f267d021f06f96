// The bridge block 0x9400..0x94F7 as a client of the module reads it, and its readable form.
#pragma once

#include <cstdint>

#include "simlink/link_result.h"

constexpr std::uint32_t kBridgeBlockStart = 0x9400;
constexpr std::uint32_t kBridgeBlockSize = 0xF8;  // through 0x94F7
constexpr std::uint32_t kMailboxOffset = 0x9400;
constexpr std::uint32_t kFirstCounterOffset = 0x94F0;

using BridgeBlock = std::uint8_t[kBridgeBlockSize];

// One exchange that reads the whole block. False, with the link's code, when it failed.
bool ReadBridgeBlock(BridgeBlock& block, LinkResult& result);

void PrintBridgeBlock(const BridgeBlock& block);
