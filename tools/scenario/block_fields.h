// The bridge's tables read backwards: for what a panel is to read in the block 0x9400..0x94F7 (a
// display's number, a lamp bit, a single value), the add-on's state fields that make Quorvane
// export exactly that. Steps the fields cannot produce are refused with the reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "bridge/display_table.h"

// One state field to set: an int32, or a double.
struct FieldWrite {
    std::uint16_t field;  // byte offset in the add-on's state block
    bool isDouble;
    std::int32_t integer;
    double real;
};

// A display's digits, and the sign field that an echoed display may need besides.
constexpr std::size_t kMaxFieldWrites = kMaxDigits + 1;

struct FieldWrites {
    std::size_t count;
    FieldWrite writes[kMaxFieldWrites];
};

// A digit field of 10 or more reads as blank; this is the one the kit writes.
constexpr std::int32_t kBlankDigit = 10;

// The display with the number 1..33, or null.
const DisplayRow* DisplayByNumber(std::size_t number);
// The display whose 16 bits begin at `offset`, or null.
const DisplayRow* DisplayAt(std::uint32_t offset);
std::size_t DisplayNumber(const DisplayRow& row);

// The largest number a display shows as itself in its 16 bits: all nines, at most 65535.
std::int64_t DisplayMaximum(const DisplayRow& row);

// Each returns "" and the fields to write, or why no field can produce the step. A display
// without a value is blank; unused leading digits are written blank, as a cockpit shows them.
std::string DisplayFields(const DisplayRow& row, std::optional<std::int64_t> value,
                          FieldWrites& out);
std::string LampFields(std::uint32_t byteOffset, std::uint32_t bit, bool on, FieldWrites& out);
std::string SingleValueFields(std::uint32_t offset, double value, FieldWrites& out);

void AddFieldWrite(FieldWrites& writes, const FieldWrite& write);
void ApplyFieldWrite(const FieldWrite& write, std::uint8_t* stateBlock);
void ApplyFieldWrites(const FieldWrites& writes, std::uint8_t* stateBlock);
std::int32_t ReadStateInt32(const std::uint8_t* stateBlock, std::uint32_t field);
