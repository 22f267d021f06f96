#include "tools/monitor/block_view.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bridge/bridge.h"
#include "bridge/single_value_table.h"
#include "platform/printf_format.h"
#include "simlink/simlink.h"

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

// Fields of one group laid out under its heading, as many a line as fit before the console's
// last column, at most `most`; fields of a group are all as wide.
void AppendFields(std::string& text, const char* heading, const std::vector<std::string>& fields,
                  std::size_t most, std::size_t columns) {
    const std::size_t fit = (columns - 1) / fields.front().size();
    const std::size_t perLine = std::clamp<std::size_t>(fit, 1, most);
    text += heading;
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (k % perLine == 0) text += '\n';
        text += fields[k];
    }
    text += '\n';
}

// The mailbox and the counters on one line where they fit, else on two.
void AppendInputs(std::string& text, const BridgeBlock& block, const ChangeMarks& mark,
                  std::size_t columns) {
    const int code = SignedWord(block, kMailboxOffset);
    std::string mailbox;
    Append(mailbox, "mailbox 0x9400:%7d%c%-10s", code, mark(kMailboxOffset, 2),
           code == -1 ? "(empty)" : "");
    std::string counters = "encoder counters 0x94F0..0x94F7:";
    for (std::uint32_t offset = kFirstCounterOffset; offset < kFirstCounterOffset + kEncoderCount;
         ++offset) {
        Append(counters, " %3u%c", BlockByte(block, offset), mark(offset, 1));
    }
    const bool oneLine = mailbox.size() + 1 + counters.size() < columns;
    text += mailbox + (oneLine ? " " : "\n") + counters + '\n';
}

// Bits 7..0 of each lamp byte, up to seven bytes a line.
void AppendLamps(std::string& text, const BridgeBlock& block, const ChangeMarks& mark,
                 std::size_t columns) {
    std::vector<std::string> fields(kFlagByteCount);
    for (std::uint32_t k = 0; k < kFlagByteCount; ++k) {
        const std::uint32_t offset = kFirstLampOffset + k;
        Append(fields[k], "  %04X %s%c", offset, BitsOf(BlockByte(block, offset)).digits,
               mark(offset, 1));
    }
    AppendFields(text, "lamps 0x9402..0x9426, bits 7..0:", fields, 7, columns);
}

// Display n at 0x9430 + 2(n - 1), up to nine a line; 0xFFFF stands for a blank display.
void AppendDisplays(std::string& text, const BridgeBlock& block, const ChangeMarks& mark,
                    std::size_t columns) {
    std::vector<std::string> fields(kDisplayCount);
    for (std::uint32_t n = 1; n <= kDisplayCount; ++n) {
        const std::uint32_t offset = kFirstDisplayOffset + 2 * (n - 1);
        const std::uint16_t value = BlockWord(block, offset);
        if (value == kBlankDisplayWord) {
            Append(fields[n - 1], "  %2u: blank%c", n, mark(offset, 2));
        } else {
            Append(fields[n - 1], "  %2u:%6u%c", n, value, mark(offset, 2));
        }
    }
    AppendFields(text, "displays 0x9430..0x9471 (display: value):", fields, 9, columns);
}

// Up to eight a line.
void AppendSingleValues(std::string& text, const BridgeBlock& block, const ChangeMarks& mark,
                        std::size_t columns) {
    std::vector<std::string> fields;
    for (const SingleValueRow& row : kSingleValueTable) {
        fields.emplace_back();
        Append(fields.back(), "  %04X:%6d%c", row.destination, SingleValue(block, row),
               mark(row.destination, row.size));
    }
    AppendFields(text, "single values 0x9480..0x94EF (offset: value):", fields, 8, columns);
}

// Every line cut to `columns` - 1 characters: a console too narrow for a field or a heading
// still gets one line a row.
std::string CutLines(const std::string& text, std::size_t columns) {
    std::string cut;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        cut.append(text, start, std::min(end - start, columns - 1));
        cut += '\n';
        start = end + 1;
    }
    return cut;
}

// "-" after a group's name when none of its fields holds anything.
void EndGroup(std::string& text, bool anyShown) {
    if (!anyShown) text += " -";
}

void AppendDisplaysBriefly(std::string& text, const BridgeBlock& block) {
    text += "displays";
    bool any = false;
    for (std::uint32_t n = 1; n <= kDisplayCount; ++n) {
        const std::uint16_t value = BlockWord(block, kFirstDisplayOffset + 2 * (n - 1));
        if (value == 0) continue;
        any = true;
        if (value == kBlankDisplayWord) {
            Append(text, " %u=blank", n);
        } else {
            Append(text, " %u=%u", n, value);
        }
    }
    EndGroup(text, any);
}

void AppendLampsBriefly(std::string& text, const BridgeBlock& block) {
    text += " | lamps";
    bool any = false;
    for (std::uint32_t offset = kFirstLampOffset; offset < kFirstLampOffset + kFlagByteCount;
         ++offset) {
        const std::uint8_t bits = BlockByte(block, offset);
        if (bits == 0) continue;
        any = true;
        Append(text, " %04X=%s", offset, BitsOf(bits).digits);
    }
    EndGroup(text, any);
}

void AppendSingleValuesBriefly(std::string& text, const BridgeBlock& block) {
    text += " | values";
    bool any = false;
    for (const SingleValueRow& row : kSingleValueTable) {
        const int value = SingleValue(block, row);
        if (value == 0) continue;
        any = true;
        Append(text, " %04X=%d", row.destination, value);
    }
    EndGroup(text, any);
}

// Only while they hold something: a code not yet taken, counters that were turned.
void AppendInputsBriefly(std::string& text, const BridgeBlock& block) {
    const int code = SignedWord(block, kMailboxOffset);
    if (code != -1) Append(text, " | mailbox %d", code);
    for (std::uint32_t k = 0; k < kEncoderCount; ++k) {
        const std::uint8_t counter = BlockByte(block, kFirstCounterOffset + k);
        if (counter != 0) Append(text, " | counter %04X=%u", kFirstCounterOffset + k, counter);
    }
}

}  // namespace

bool ReadBridgeBlock(BridgeBlock& block, LinkResult& result) {
    return LinkRead(kBridgeBlockStart, kBridgeBlockSize, block, result) && LinkProcess(result);
}

std::string BridgeBlockFrame(const BridgeBlock& block, const BridgeBlock* previous,
                             std::size_t columns) {
    columns = std::max<std::size_t>(columns, 2);
    const ChangeMarks mark(block, previous);
    std::string text;
    AppendInputs(text, block, mark, columns);
    AppendLamps(text, block, mark, columns);
    AppendDisplays(text, block, mark, columns);
    AppendSingleValues(text, block, mark, columns);
    return columns == kAnyColumns ? text : CutLines(text, columns);
}

std::string BridgeBlockLine(const BridgeBlock& block) {
    std::string text;
    AppendDisplaysBriefly(text, block);
    AppendLampsBriefly(text, block);
    AppendSingleValuesBriefly(text, block);
    AppendInputsBriefly(text, block);
    return text + '\n';
}
