// The module's block 0x9400..0x94F7 as one read of it brings it in: the bridge takes its start
// values from it, and the monitor shows it.
#pragma once

#include <cstdint>
#include <cstring>

// Its first and last offsets, which clients, tools and tests take from here.
constexpr std::uint32_t kBridgeBlockStart = 0x9400;
constexpr std::uint32_t kBridgeBlockLast = 0x94F7;
constexpr std::uint32_t kBridgeBlockSize = kBridgeBlockLast - kBridgeBlockStart + 1;

using BridgeBlock = std::uint8_t[kBridgeBlockSize];

// The byte at module offset `offset`, which lies inside the block.
inline std::uint8_t BlockByte(const BridgeBlock& block, std::uint32_t offset) {
    return block[offset - kBridgeBlockStart];
}

// The 16 bits at module offset `offset`, little-endian and unaligned.
inline std::uint16_t BlockWord(const BridgeBlock& block, std::uint32_t offset) {
    std::uint16_t word;
    std::memcpy(&word, block + (offset - kBridgeBlockStart), sizeof word);
    return word;
}
