// The kit add-on's side of the encoders: which encoder and display a command of code 1232..1239
// is for, and, with --echo, the fields that make the display show the command's target, as the
// aircraft would, so that a panel's encoder moves the panel's display through the whole loop.
#pragma once

#include <cstdint>

#include "bridge/encoder_table.h"
#include "tools/scenario/block_fields.h"

// The encoder whose command has this code, or null.
const EncoderRow* EncoderOfCommand(std::int32_t code);
std::size_t EncoderNumber(const EncoderRow& row);

struct Echo {
    FieldWrites writes;
    std::int64_t shown;  // the number the display shows afterwards, in its own units
    bool minus;          // the display's sign field says minus
    bool limited;        // the target lay beyond what the display shows: it stops at its end
};

// What the display is to show for `target`, read in the encoder's rules against the state block
// as it is now: in hundredths mode the display holds hundredths (0..99, its hundreds digit
// staying blank); the sign-field display holds the magnitude, its sign field 12 for minus.
Echo EchoEncoder(const EncoderRow& row, double target, const std::uint8_t* stateBlock);
