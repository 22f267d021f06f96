#include "tools/offsets_doc/offsets_csv.h"

#include <cstdio>
#include <vector>

#include "bridge/display_table.h"
#include "bridge/encoder_table.h"
#include "bridge/flag_table.h"
#include "bridge/single_value_table.h"
#include "tools/offsets_doc/csv_line.h"
#include "tools/offsets_doc/display_note_text.h"
#include "tools/offsets_doc/encoder_rule_text.h"

namespace {

// One row; the columns the kind of field has no use for stay empty.
struct Row {
    unsigned offset = 0;
    unsigned size = 0;  // in bytes
    const char* direction = "";
    const char* kind = "";
    std::string number = "";  // display n, encoder k
    const char* type = "";    // as a client reads the offset
    const char* conversion = "";
    std::string fields = "";  // of the add-on's state block, named by their byte offset
    std::string command = "", display = "", step = "", blankStep = "", rule = "";
};

constexpr char kToClient[] = "bridge to client";
constexpr char kToBridge[] = "client to bridge";

std::string Format(const char* format, unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Field(unsigned source) {
    return Format("0x%03X", source);
}

std::string Number(long long value) {
    return std::to_string(value);
}

std::string Line(const Row& row) {
    return CsvLine({Format("0x%04X", row.offset), Number(row.size), row.direction, row.kind,
                    row.number, row.type, row.conversion, row.fields, row.command, row.display,
                    row.step, row.blankStep, row.rule});
}

std::string Header() {
    return CsvLine({"Offset", "Size (bytes)", "Direction", "Kind", "Number", "Type", "Conversion",
                    "State-block fields", "Command", "Display", "Step", "Step while blank",
                    "Special rule"});
}

Row MailboxRow() {
    return {.offset = kMailboxOffset,
            .size = 2,
            .direction = kToBridge,
            .kind = "mailbox",
            .type = "int16",
            .conversion =
                "signed; a command code 0..32767 posted by the client is forwarded with the "
                "parameter 0.0, then the bridge writes -1 (0xFFFF) to empty the mailbox; a "
                "block that reads all zero when the bridge connects was never written, and its "
                "0 is marked empty instead of forwarded"};
}

Row FlagByteRow(const FlagRow& flags) {
    Row row{.offset = flags.destination,
            .size = 1,
            .direction = kToClient,
            .kind = "flag byte",
            .type = "8 bits",
            .conversion =
                "low 8 bits of the sum of the int32 fields, each times its bit's weight; "
                "added, not ORed: a field holding 2 sets the next bit up"};
    for (unsigned bit = 0; bit < kBitsPerFlagByte; ++bit) {
        if (flags.sources[bit] == kNone) continue;
        if (!row.fields.empty()) row.fields += "; ";
        row.fields += "bit" + Number(bit) + ": " + Field(flags.sources[bit]);
    }
    if (row.fields.empty()) row.conversion = "no fields; never written";
    return row;
}

Row DisplayRowOf(std::size_t n, const DisplayRow& display) {
    Row row{.offset = display.destination,
            .size = 2,
            .direction = kToClient,
            .kind = "display",
            .number = Number(static_cast<long long>(n)),
            .type = "uint16",
            .conversion =
                "the int32 digit fields times their weights, added in the order listed "
                "(a field of 10 or more is a blank digit), truncated to int32, low 16 "
                "bits, read unsigned; 65535 = blank",
            .rule = DisplayNoteText(n)};
    for (std::size_t i = 0; i < display.digitCount; ++i) {
        if (i != 0) row.fields += "; ";
        row.fields += Field(display.fields[i].source) + " x " + Number(display.fields[i].weight);
    }
    return row;
}

Row SingleValueRowOf(const SingleValueRow& value) {
    const bool isInt = value.type == kInt32;
    return {.offset = value.destination,
            .size = value.size,
            .direction = kToClient,
            .kind = "single value",
            .type = isInt ? "uint8" : "int16",
            .conversion = isInt ? "int32 field, low 8 bits"
                                : "float64 field truncated toward zero to int32, low 16 bits, "
                                  "two's complement, read signed (0xFFFF is -1); not a number or "
                                  "outside the int32 range gives 0",
            .fields = Field(value.source)};
}

// The field a special rule reads, which moves the encoder's target as much as its display does.
std::string RuleField(EncoderRule rule) {
    switch (rule) {
        case EncoderRule::Hundredths:
            return Field(kHundredthsSwitchField);
        case EncoderRule::SignField:
            return Field(kSignField);
        case EncoderRule::None:
            break;
    }
    return "";
}

Row EncoderRowOf(std::size_t k, const EncoderRow& encoder) {
    return {.offset = encoder.counterOffset,
            .size = 1,
            .direction = kToBridge,
            .kind = "encoder counter",
            .number = Number(static_cast<long long>(k)),
            .type = "uint8",
            .conversion =
                "counted up or down by the client, wrapping between 255 and 0; a change "
                "is a turn of -127..+128 steps, sent as the command with the display's "
                "value plus turn x step",
            .fields = RuleField(encoder.rule),
            .command = Number(encoder.commandCode),
            .display = Number(encoder.display),
            .step = Number(encoder.step),
            .blankStep = Number(encoder.blankStep),
            .rule = encoder.rule == EncoderRule::None ? "" : EncoderRuleText(encoder.rule)};
}

}  // namespace

std::string OffsetsCsv() {
    std::string csv = Header() + Line(MailboxRow());
    for (const FlagRow& flags : kFlagTable) csv += Line(FlagByteRow(flags));
    for (std::size_t n = 1; n <= kDisplayCount; ++n) {
        csv += Line(DisplayRowOf(n, kDisplayTable[n - 1]));
    }
    for (const SingleValueRow& value : kSingleValueTable) csv += Line(SingleValueRowOf(value));
    for (std::size_t k = 0; k < kEncoderCount; ++k) csv += Line(EncoderRowOf(k, kEncoderTable[k]));
    return csv;
}
