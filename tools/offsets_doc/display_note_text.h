// What a panel must know beside a display whose value alone does not say it all (display 4's
// Mach mode, display 7's sign), derived from the encoder and single-value tables: one text for
// the offsets page and the table.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "bridge/display_table.h"
#include "bridge/encoder_table.h"
#include "bridge/single_value_table.h"

// The single value whose source is `field`, or 0 when none is.
inline unsigned SingleValueOfField(std::uint32_t field) {
    for (const SingleValueRow& row : kSingleValueTable) {
        if (row.source == field) return row.destination;
    }
    return 0;
}

// Empty for a display that needs no note.
inline std::string DisplayNoteText(std::size_t display) {
    static_assert(kMinusSign == 12);
    char text[256] = "";
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        const EncoderRow& row = kEncoderTable[k];
        if (row.display != display) continue;
        if (row.rule == EncoderRule::Hundredths) {
            std::snprintf(text, sizeof text,
                          "Mach mode: while field 0x%03X (the hundreds digit) is blank, the "
                          "display reads 0..99, the Mach number in hundredths (78 is Mach 0.78), "
                          "and encoder %zu moves it by 0.01 a step",
                          kHundredthsSwitchField, k);
        } else if (row.rule == EncoderRule::SignField) {
            std::snprintf(text, sizeof text,
                          "no minus sign of its own: its sign is the single value 0x%04X (field "
                          "0x%03X), 12 for minus, anything else plus",
                          SingleValueOfField(kSignField), kSignField);
        }
    }
    return text;
}

static_assert(kDisplayTable[3].fields[0].source == kHundredthsSwitchField,
              "the Mach switch is display 4's hundreds digit");
