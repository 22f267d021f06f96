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

// Bits 7..0 of a lamp byte, as eight digits.
struct BitText {
    char digits[9];
};

BitText BitsOf(std::uint8_t bits) {
    BitText text{};
    for (int bit = 7; bit >= 0; --bit) text.digits[7 - bit] = (bits >> bit & 1) != 0 ? '1' : '0';
    return text;
}

// Bits 7..0 of each lamp byte, six bytes a line.
void PrintLamps(const BridgeBlock& block) {
    Say("lamps 0x9402..0x9426, bits 7..0:");
    for (std::uint32_t k = 0; k < kFlagByteCount; ++k) {
        const std::uint32_t offset = kFirstLampOffset + k;
        Say("%s  %04X %s", k % 6 == 0 ? "\n" : "", offset, BitsOf(Byte(block, offset)).digits);
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

// As it is sent: a byte, or a 16-bit value in two's complement.
int SingleValue(const BridgeBlock& block, const SingleValueRow& row) {
    return row.size == 2 ? SignedWord(block, row.destination) : Byte(block, row.destination);
}

// Eight a line.
void PrintSingleValues(const BridgeBlock& block) {
    Say("single values 0x9480..0x94EF:");
    std::size_t shown = 0;
    for (const SingleValueRow& row : kSingleValueTable) {
        if (shown++ % 8 == 0) Say("\n");
        Say(" %04X:%6d", row.destination, SingleValue(block, row));
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

// "-" after a group's name when none of its fields holds anything.
void EndGroup(bool anyShown) {
    if (!anyShown) Say(" -");
}

void PrintDisplaysBriefly(const BridgeBlock& block) {
    Say("displays");
    bool any = false;
    for (std::uint32_t n = 1; n <= kDisplayCount; ++n) {
        const std::uint16_t value = Word(block, kFirstDisplayOffset + 2 * (n - 1));
        if (value == 0) continue;
        any = true;
        if (value == kBlankDisplayWord) {
            Say(" %u=blank", n);
        } else {
            Say(" %u=%u", n, value);
        }
    }
    EndGroup(any);
}

void PrintLampsBriefly(const BridgeBlock& block) {
    Say(" | lamps");
    bool any = false;
    for (std::uint32_t offset = kFirstLampOffset; offset < kFirstLampOffset + kFlagByteCount;
         ++offset) {
        const std::uint8_t bits = Byte(block, offset);
        if (bits == 0) continue;
        any = true;
        Say(" %04X=%s", offset, BitsOf(bits).digits);
    }
    EndGroup(any);
}

void PrintSingleValuesBriefly(const BridgeBlock& block) {
    Say(" | values");
    bool any = false;
    for (const SingleValueRow& row : kSingleValueTable) {
        const int value = SingleValue(block, row);
        if (value == 0) continue;
        any = true;
        Say(" %04X=%d", row.destination, value);
    }
    EndGroup(any);
}

// Only while they hold something: a code not yet taken, counters that were turned.
void PrintInputsBriefly(const BridgeBlock& block) {
    const int code = SignedWord(block, kMailboxOffset);
    if (code != -1) Say(" | mailbox %d", code);
    for (std::uint32_t k = 0; k < kEncoderCount; ++k) {
        const std::uint8_t counter = Byte(block, kFirstCounterOffset + k);
        if (counter != 0) Say(" | counter %04X=%u", kFirstCounterOffset + k, counter);
    }
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

void PrintBridgeBlockBriefly(const BridgeBlock& block) {
    PrintDisplaysBriefly(block);
    PrintLampsBriefly(block);
    PrintSingleValuesBriefly(block);
    PrintInputsBriefly(block);
    Say("\n");
}
