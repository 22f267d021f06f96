#include "tools/monitor/bridge_block.h"

#include <cstring>

#include "bridge/bridge.h"
#include "bridge/single_value_table.h"
#include "simlink/simlink.h"
#include "tools/console/console.h"

namespace {

constexpr std::uint32_t kFirstLampOffset = 0x9402;
constexpr std::uint32_t kFirstDisplayOffset = 0x9430;
constexpr std::uint16_t kBlankDisplayWord = 0xFFFF;

std::uint8_t Byte(const BridgeBlock& block, std::uint32_t offset) {
    return block[offset - kBridgeBlockStart];
}

std::uint16_t Word(const BridgeBlock& block, std::uint32_t offset) {
    std::uint16_t word;
    std::memcpy(&word, block + (offset - kBridgeBlockStart), sizeof word);
    return word;
}

// A 16-bit field that travels in two's complement.
int SignedWord(const BridgeBlock& block, std::uint32_t offset) {
    const int word = Word(block, offset);
    return word >= 0x8000 ? word - 0x10000 : word;
}

void PrintMailbox(const BridgeBlock& block) {
    const int code = SignedWord(block, kMailboxOffset);
    Say("mailbox 0x9400: %d%s\n", code, code == -1 ? " (empty)" : "");
}

// Bits 7..0 of each lamp byte, six bytes a line.
void PrintLamps(const BridgeBlock& block) {
    Say("lamps 0x9402..0x9426, bits 7..0:");
    for (std::uint32_t k = 0; k < kFlagByteCount; ++k) {
        const std::uint32_t offset = kFirstLampOffset + k;
        const std::uint8_t bits = Byte(block, offset);
        char text[9];
        for (int bit = 7; bit >= 0; --bit) text[7 - bit] = (bits >> bit & 1) != 0 ? '1' : '0';
        text[8] = '\0';
        Say("%s  %04X %s", k % 6 == 0 ? "\n" : "", offset, text);
    }
    Say("\n");
}

// Display n at 0x9430 + 2(n - 1), eight a line; 0xFFFF stands for a blank display.
void PrintDisplays(const BridgeBlock& block) {
    Say("displays 0x9430..0x9471:");
    for (std::uint32_t n = 1; n <= kDisplayCount; ++n) {
        const std::uint16_t value = Word(block, kFirstDisplayOffset + 2 * (n - 1));
        if (n % 8 == 1) Say("\n");
        if (value == kBlankDisplayWord) {
            Say("  %2u:  blank", n);
        } else {
            Say("  %2u:%7u", n, value);
        }
    }
    Say("\n");
}

// Each entry as it is sent: a byte, or a 16-bit value in two's complement; eight a line.
void PrintSingleValues(const BridgeBlock& block) {
    Say("single values 0x9480..0x94EF:");
    std::size_t shown = 0;
    for (const SingleValueRow& row : kSingleValueTable) {
        if (shown++ % 8 == 0) Say("\n");
        const int value =
            row.size == 2 ? SignedWord(block, row.destination) : Byte(block, row.destination);
        Say(" %04X:%6d", row.destination, value);
    }
    Say("\n");
}

void PrintCounters(const BridgeBlock& block) {
    Say("encoder counters 0x94F0..0x94F7:");
    for (std::uint32_t k = 0; k < kEncoderCount; ++k) {
        Say(" %u", Byte(block, kFirstCounterOffset + k));
    }
    Say("\n");
}

}  // namespace

bool ReadBridgeBlock(BridgeBlock& block, LinkResult& result) {
    return LinkRead(kBridgeBlockStart, kBridgeBlockSize, block, result) && LinkProcess(result);
}

void PrintBridgeBlock(const BridgeBlock& block) {
    PrintMailbox(block);
    PrintLamps(block);
    PrintDisplays(block);
    PrintSingleValues(block);
    PrintCounters(block);
}
