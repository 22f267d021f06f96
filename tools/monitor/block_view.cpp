#include "tools/monitor/block_view.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "bridge/bridge.h"
#include "bridge/single_value_table.h"
#include "platform/printf_format.h"
#include "simlink/simlink.h"
#include "tools/console/console.h"

namespace {

constexpr std::uint32_t kFirstLampOffset = 0x9402;
constexpr std::uint32_t kFirstDisplayOffset = 0x9430;
constexpr std::uint16_t kBlankDisplayWord = 0xFFFF;

// A 16-bit field that travels in two's complement.
int SignedWord(const BridgeBlock& block, std::uint32_t offset) {
    const int word = BlockWord(block, offset);
    return word >= 0x8000 ? word - 0x10000 : word;
}

// printf onto the end of `text`; the frame is built whole, then drawn in one go.
void Append(std::string& text, const char* format, ...) QUORVANE_PRINTF_FORMAT(2, 3);
void Append(std::string& text, const char* format, ...) {
    char piece[128];
    va_list args;
    va_start(args, format);
    std::vsnprintf(piece, sizeof piece, format, args);
    va_end(args);
    text += piece;
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

// As it is sent: a byte, or a 16-bit value in two's complement.
int SingleValue(const BridgeBlock& block, const SingleValueRow& row) {
    return row.size == 2 ? SignedWord(block, row.destination) : BlockByte(block, row.destination);
}

// The character after a value: '*' when its bytes differ from the previous reading.
class ChangeMarks {
  public:
    explicit ChangeMarks(const BridgeBlock& block, const BridgeBlock* previous)
        : block_(block), previous_(previous) {}

    char operator()(std::uint32_t offset, std::uint32_t size) const {
        const std::uint32_t at = offset - kBridgeBlockStart;
        const bool changed =
            previous_ != nullptr && std::memcmp(block_ + at, *previous_ + at, size) != 0;
        return changed ? kChanged : ' ';
    }

  private:
    const BridgeBlock& block_;
    const BridgeBlock* previous_;
};

void AppendInputs(std::string& text, const BridgeBlock& block, const ChangeMarks& mark) {
    const int code = SignedWord(block, kMailboxOffset);
    Append(text, "mailbox 0x9400:%7d%c%-10s encoder counters 0x94F0..0x94F7:", code,
           mark(kMailboxOffset, 2), code == -1 ? "(empty)" : "");
    for (std::uint32_t offset = kFirstCounterOffset; offset < kFirstCounterOffset + kEncoderCount;
         ++offset) {
        Append(text, " %3u%c", BlockByte(block, offset), mark(offset, 1));
    }
    text += '\n';
}

// Bits 7..0 of each lamp byte, seven bytes a line.
void AppendLamps(std::string& text, const BridgeBlock& block, const ChangeMarks& mark) {
    text += "lamps 0x9402..0x9426, bits 7..0:";
    for (std::uint32_t k = 0; k < kFlagByteCount; ++k) {
        const std::uint32_t offset = kFirstLampOffset + k;
        Append(text, "%s  %04X %s%c", k % 7 == 0 ? "\n" : "", offset,
               BitsOf(BlockByte(block, offset)).digits, mark(offset, 1));
    }
    text += '\n';
}

// Display n at 0x9430 + 2(n - 1), nine a line; 0xFFFF stands for a blank display.
void AppendDisplays(std::string& text, const BridgeBlock& block, const ChangeMarks& mark) {
    text += "displays 0x9430..0x9471 (display: value):";
    for (std::uint32_t n = 1; n <= kDisplayCount; ++n) {
        const std::uint32_t offset = kFirstDisplayOffset + 2 * (n - 1);
        const std::uint16_t value = BlockWord(block, offset);
        if (n % 9 == 1) text += '\n';
        if (value == kBlankDisplayWord) {
            Append(text, "  %2u: blank%c", n, mark(offset, 2));
        } else {
            Append(text, "  %2u:%6u%c", n, value, mark(offset, 2));
        }
    }
    text += '\n';
}

// Eight a line.
void AppendSingleValues(std::string& text, const BridgeBlock& block, const ChangeMarks& mark) {
    text += "single values 0x9480..0x94EF (offset: value):";
    std::size_t shown = 0;
    for (const SingleValueRow& row : kSingleValueTable) {
        if (shown++ % 8 == 0) text += '\n';
        Append(text, "  %04X:%6d%c", row.destination, SingleValue(block, row),
               mark(row.destination, row.size));
    }
    text += '\n';
}

// "-" after a group's name when none of its fields holds anything.
void EndGroup(bool anyShown) {
    if (!anyShown) Say(" -");
}

void PrintDisplaysBriefly(const BridgeBlock& block) {
    Say("displays");
    bool any = false;
    for (std::uint32_t n = 1; n <= kDisplayCount; ++n) {
        const std::uint16_t value = BlockWord(block, kFirstDisplayOffset + 2 * (n - 1));
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
        const std::uint8_t bits = BlockByte(block, offset);
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
        const std::uint8_t counter = BlockByte(block, kFirstCounterOffset + k);
        if (counter != 0) Say(" | counter %04X=%u", kFirstCounterOffset + k, counter);
    }
}

}  // namespace

bool ReadBridgeBlock(BridgeBlock& block, LinkResult& result) {
    return LinkRead(kBridgeBlockStart, kBridgeBlockSize, block, result) && LinkProcess(result);
}

std::string BridgeBlockFrame(const BridgeBlock& block, const BridgeBlock* previous) {
    const ChangeMarks mark(block, previous);
    std::string text;
    AppendInputs(text, block, mark);
    AppendLamps(text, block, mark);
    AppendDisplays(text, block, mark);
    AppendSingleValues(text, block, mark);
    return text;
}

void PrintBridgeBlockBriefly(const BridgeBlock& block) {
    PrintDisplaysBriefly(block);
    PrintLampsBriefly(block);
    PrintSingleValuesBriefly(block);
    PrintInputsBriefly(block);
    Say("\n");
}
