// An encoder's special rule as the encoder stage applies it, in a client's words: one text for
// the offsets page and the table.
#pragma once

#include "bridge/encoder_table.h"

inline const char* EncoderRuleText(EncoderRule rule) {
    static_assert(kHundredthsSwitchField == 0x1C0 && kSignField == 0x1F4 && kMinusSign == 12);
    switch (rule) {
        case EncoderRule::Hundredths:
            return "while field 0x1C0 is above 9: target = display / 100 + turn / 100, a blank "
                   "display counting 0";
        case EncoderRule::SignField:
            return "display taken as negative while field 0x1F4 holds 12";
        case EncoderRule::None:
            break;
    }
    return "-";
}
