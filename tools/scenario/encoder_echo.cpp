#include "tools/scenario/encoder_echo.h"

#include <cmath>

namespace {

constexpr std::int32_t kPlusSign = 0;  // what the kit writes into a sign field that said minus

// Rounded to a whole number within lowest..highest; a NaN goes to lowest.
std::int64_t Limit(double value, std::int64_t lowest, std::int64_t highest, bool& limited) {
    limited = !(value >= static_cast<double>(lowest) && value <= static_cast<double>(highest));
    if (!(value >= static_cast<double>(lowest))) return lowest;
    if (value > static_cast<double>(highest)) return highest;
    return std::llround(value);
}

}  // namespace

const EncoderRow* EncoderOfCommand(std::int32_t code) {
    for (const EncoderRow& row : kEncoderTable) {
        if (row.commandCode == code) return &row;
    }
    return nullptr;
}

std::size_t EncoderNumber(const EncoderRow& row) {
    return static_cast<std::size_t>(&row - kEncoderTable);
}

Echo EchoEncoder(const EncoderRow& row, double target, const std::uint8_t* stateBlock) {
    Echo echo{};
    const DisplayRow& display = *DisplayByNumber(row.display);
    std::int64_t highest = DisplayMaximum(display);
    double shown = target;
    if (row.rule == EncoderRule::Hundredths &&
        ReadStateInt32(stateBlock, kHundredthsSwitchField) > 9) {
        shown = target * 100.0;
        highest = 99;
    }
    const bool hasSign = row.rule == EncoderRule::SignField;
    const bool wasMinus = ReadStateInt32(stateBlock, kSignField) == kMinusSign;
    echo.minus = hasSign && shown < 0;
    echo.shown = Limit(hasSign ? std::fabs(shown) : shown, 0, highest, echo.limited);
    DisplayFields(display, echo.shown, echo.writes);
    if (hasSign && echo.minus != wasMinus) {
        AddFieldWrite(echo.writes, {static_cast<std::uint16_t>(kSignField), false,
                                    echo.minus ? kMinusSign : kPlusSign, 0.0});
    }
    return echo;
}
