// The monitor's view of the bridge block 0x9400..0x94F7: one read of it through the link, and
// its readable forms.
#pragma once

#include <cstddef>
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

// No console's width: for a file or a pipe, where nothing wraps.
constexpr std::size_t kAnyColumns = SIZE_MAX;

// Every field, each line ended by "\n": the mailbox and encoder counters, lamp bytes as bits
// 7..0, displays, single values. Given the previous reading, each value whose bytes differ from
// it is followed by kChanged. Every line is shorter than `columns`, so that a console's cursor
// never wraps on its own: from 113 columns (and for kAnyColumns) 27 lines of at most 112; fewer
// fields a line where fewer fit, all of them down to 74 columns; narrower, lines are cut.
std::string BridgeBlockFrame(const BridgeBlock& block, const BridgeBlock* previous,
                             std::size_t columns);

// One line of what is not zero, ended by "\n": displays as numbers, lamp bytes as bits 7..0,
// single values; the mailbox while it holds a code, counters that are not 0.
std::string BridgeBlockLine(const BridgeBlock& block);
