// The monitor's view of the bridge block 0x9400..0x94F7: one read of it through the link, and
// its readable forms.
#pragma once

#include <cstdint>
#include <string>

#include "bridge/bridge_block.h"
#include "bridge/encoder_table.h"
#include "simlink/link_result.h"

constexpr std::uint32_t kFirstCounterOffset = kEncoderTable[0].counterOffset;

// One exchange that reads the whole block. False, with the link's code, when it failed.
bool ReadBridgeBlock(BridgeBlock& block, LinkResult& result);

// What marks a value that changed since the previous reading.
constexpr char kChanged = '*';

// Every field, 27 lines of at most 112 columns, each ended by "\n": the mailbox and encoder
// counters, lamp bytes as bits 7..0, displays, single values. Given the previous reading, each
// value whose bytes differ from it is followed by kChanged.
std::string BridgeBlockFrame(const BridgeBlock& block, const BridgeBlock* previous);

// One line of what is not zero: displays as numbers, lamp bytes as bits 7..0, single values;
// the mailbox while it holds a code, counters that are not 0.
void PrintBridgeBlockBriefly(const BridgeBlock& block);
