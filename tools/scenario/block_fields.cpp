#include "tools/scenario/block_fields.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "bridge/flag_table.h"
#include "bridge/single_value_table.h"

namespace {

std::string Hex(std::uint32_t offset) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", offset);
    return text;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

FieldWrite Int32Write(std::uint16_t field, std::int32_t value) {
    return {field, false, value, 0.0};
}

const SingleValueRow* SingleValueCovering(std::uint32_t offset) {
    for (const SingleValueRow& row : kSingleValueTable) {
        if (offset >= row.destination && offset < row.destination + row.size) return &row;
    }
    return nullptr;
}

}  // namespace

const DisplayRow* DisplayByNumber(std::size_t number) {
    return number >= 1 && number <= kDisplayCount ? &kDisplayTable[number - 1] : nullptr;
}

const DisplayRow* DisplayAt(std::uint32_t offset) {
    for (const DisplayRow& row : kDisplayTable) {
        if (row.destination == offset) return &row;
    }
    return nullptr;
}

std::size_t DisplayNumber(const DisplayRow& row) {
    return static_cast<std::size_t>(&row - kDisplayTable) + 1;
}

std::int64_t DisplayMaximum(const DisplayRow& row) {
    std::int64_t nines = 0;
    for (std::size_t i = 0; i < row.digitCount; ++i) nines = nines * 10 + 9;
    return nines < 0xFFFF ? nines : 0xFFFF;
}

// 65535 itself is allowed: it is what the display's fields give, though a panel cannot tell it
// from blank.
std::string DisplayFields(const DisplayRow& row, std::optional<std::int64_t> value,
                          FieldWrites& out) {
    out.count = 0;
    const std::size_t number = DisplayNumber(row);
    if (value && (*value < 0 || *value > DisplayMaximum(row))) {
        return "display " + std::to_string(number) + " (" + std::to_string(row.digitCount) +
               " digits, 16 bits) shows 0.." + std::to_string(DisplayMaximum(row)) + ", not " +
               std::to_string(*value);
    }
    for (std::size_t i = 0; i < row.digitCount; ++i) {
        const DigitField& digit = row.fields[i];
        std::int32_t written = kBlankDigit;
        if (value && (digit.weight == 1 || *value >= digit.weight)) {
            written = static_cast<std::int32_t>(*value / digit.weight % 10);
        }
        AddFieldWrite(out, Int32Write(digit.source, written));
    }
    return "";
}

std::string LampFields(std::uint32_t byteOffset, std::uint32_t bit, bool on, FieldWrites& out) {
    out.count = 0;
    const std::uint32_t last = kFirstFlagOffset + kFlagByteCount - 1;
    if (byteOffset < kFirstFlagOffset || byteOffset > last) {
        return Hex(byteOffset) + " is not a lamp byte: they are " + Hex(kFirstFlagOffset) + ".." +
               Hex(last);
    }
    if (bit >= kBitsPerFlagByte) return "bit " + std::to_string(bit) + " is not a bit 0..7";
    const std::uint16_t source = kFlagTable[byteOffset - kFirstFlagOffset].sources[bit];
    if (source == kNone) {
        return "no field of the add-on feeds bit " + std::to_string(bit) + " of " +
               Hex(byteOffset) + ": it stays 0 (offsets.csv lists the bits that have one)";
    }
    AddFieldWrite(out, Int32Write(source, on ? 1 : 0));
    return "";
}

// An int32 field arrives as its low byte, so -128..255 reads back as written whether the panel
// takes the byte as signed or not; a double is truncated to int32 and arrives as its low 16
// bits, so whole numbers -32768..65535 do.
std::string SingleValueFields(std::uint32_t offset, double value, FieldWrites& out) {
    out.count = 0;
    const SingleValueRow* row = SingleValueCovering(offset);
    if (row == nullptr) {
        return Hex(offset) + " is not a single value: they are " + Hex(kFirstSingleValueOffset) +
               ".." + Hex(kSingleValueRangeEnd - 1);
    }
    if (row->destination != offset) {
        return Hex(offset) + " is the second byte of the 16-bit value " + Hex(row->destination);
    }
    const bool isDouble = row->type == kFloat64;
    const double lowest = isDouble ? -32768.0 : -128.0;
    const double highest = isDouble ? 65535.0 : 255.0;
    const char* what = isDouble ? "16 bits of a double field" : "one byte of an int32 field";
    if (!(value >= lowest && value <= highest) || value != std::trunc(value)) {
        return Hex(offset) + " carries " + what + ": whole numbers " + Number(lowest) + ".." +
               Number(highest) + ", not " + Number(value);
    }
    if (isDouble) {
        AddFieldWrite(out, {row->source, true, 0, value});
    } else {
        AddFieldWrite(out, Int32Write(row->source, static_cast<std::int32_t>(value)));
    }
    return "";
}

void AddFieldWrite(FieldWrites& writes, const FieldWrite& write) {
    if (writes.count < std::size(writes.writes)) writes.writes[writes.count++] = write;
}

void ApplyFieldWrite(const FieldWrite& write, std::uint8_t* stateBlock) {
    if (write.isDouble) {
        std::memcpy(stateBlock + write.field, &write.real, sizeof write.real);
    } else {
        std::memcpy(stateBlock + write.field, &write.integer, sizeof write.integer);
    }
}

void ApplyFieldWrites(const FieldWrites& writes, std::uint8_t* stateBlock) {
    for (std::size_t i = 0; i < writes.count; ++i) ApplyFieldWrite(writes.writes[i], stateBlock);
}

std::int32_t ReadStateInt32(const std::uint8_t* stateBlock, std::uint32_t field) {
    std::int32_t value;
    std::memcpy(&value, stateBlock + field, sizeof value);
    return value;
}
