#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "bridge/bridge_block.h"
#include "tools/scenario/scenario.h"

namespace {

constexpr std::size_t kMaxFileBytes = 1 << 20;

using Words = std::vector<std::string_view>;

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool IsHex(std::string_view word) {
    return word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
}

// Decimal (with an optional sign and fraction) or 0x-hexadecimal; nothing else, so "1e3", "inf"
// and "nan" are not numbers here, nor are digits too many for a double (strtod's infinity).
std::optional<double> ParseNumber(std::string_view word) {
    const std::string text(word);
    if (IsHex(word)) {
        if (word.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string_view::npos) {
            return std::nullopt;
        }
        return static_cast<double>(std::strtoull(text.c_str(), nullptr, 16));
    }
    const std::size_t start = word.find_first_not_of("+-") == 1 ? 1 : 0;
    const std::size_t dot = word.find('.');
    if (word.empty() || word.find_first_not_of("0123456789.", start) != std::string_view::npos ||
        (dot != std::string_view::npos && word.find('.', dot + 1) != std::string_view::npos) ||
        word.find_first_of("0123456789") == std::string_view::npos) {
        return std::nullopt;
    }
    const double number = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(number)) return std::nullopt;
    return number;
}

// Whole numbers within +-2^53, where a double holds every one of them.
std::optional<std::int64_t> ParseWhole(std::string_view word) {
    constexpr double kExactLimit = 9007199254740992.0;
    const std::optional<double> number = ParseNumber(word);
    if (!number || !(*number > -kExactLimit && *number < kExactLimit) ||
        *number != std::trunc(*number)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(*number);
}

// What a user writing numbers the European way meant, added to a refusal: "0,5" for 0.5, "35,000"
// for the whole number 35000, "9402" for the offset 0x9402. Empty when no reading fits.
std::string DecimalCommaHint(std::string_view word) {
    std::string dotted(word);
    std::replace(dotted.begin(), dotted.end(), ',', '.');
    if (dotted == word || !ParseNumber(dotted)) return "";
    return "; use a dot: " + dotted;
}

std::string SeparatorHint(std::string_view word) {
    // Groups of three digits after the first comma: a thousands separator, not a decimal comma.
    const std::size_t comma = word.find(',');
    if (comma == std::string_view::npos || comma == 0 || comma > 3) return DecimalCommaHint(word);
    std::string digits(word.substr(0, comma));
    for (std::size_t at = comma; at < word.size(); at += 4) {
        const std::string_view group = word.substr(at + 1, 3);
        if (word[at] != ',' || group.size() != 3 ||
            group.find_first_not_of("0123456789") != std::string_view::npos) {
            return DecimalCommaHint(word);
        }
        digits.append(group);
    }
    if (digits.find_first_not_of("0123456789") != std::string::npos) return "";
    return "; write whole numbers without a separator: " + digits;
}

std::string HexHint(std::string_view word) {
    if (IsHex(word) || word.empty() || word.find_first_not_of("0123456789") != std::string::npos) {
        return "";
    }
    const unsigned long offset = std::strtoul(std::string(word).c_str(), nullptr, 16);
    if (offset < kBridgeBlockStart || offset > kBridgeBlockLast) return "";
    return "; write it 0x" + std::string(word);
}

// Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "literal" + std::string at -O2.
std::string Quoted(std::string_view word) {
    std::string text(1, '"');
    text.append(word);
    text += '"';
    return text;
}

std::string DisplayStep(const Words& words, FieldWrites& writes) {
    const std::optional<std::int64_t> which = ParseWhole(words[0]);
    if (!which || *which < 0) return Quoted(words[0]) + " is not a display number or offset";
    const DisplayRow* row = IsHex(words[0]) ? DisplayAt(static_cast<std::uint32_t>(*which))
                                            : DisplayByNumber(static_cast<std::size_t>(*which));
    if (row == nullptr) {
        return "no display " + Quoted(words[0]) +
               ": displays are 1..33, at 0x9430, 0x9432 .. 0x9470" + HexHint(words[0]);
    }
    if (SameWord(words[1], "blank")) return DisplayFields(*row, std::nullopt, writes);
    const std::optional<std::int64_t> value = ParseWhole(words[1]);
    if (!value) {
        return Quoted(words[1]) + " is neither a whole number nor blank" + SeparatorHint(words[1]);
    }
    return DisplayFields(*row, value, writes);
}

std::string LampStep(const Words& words, FieldWrites& writes) {
    const std::optional<std::int64_t> byte = ParseWhole(words[0]);
    const std::optional<std::int64_t> bit = ParseWhole(words[1]);
    const bool on = SameWord(words[2], "on");
    if (!byte || *byte < 0 || *byte > 0xFFFF) return Quoted(words[0]) + " is not a lamp byte";
    if (!bit || *bit < 0 || *bit > 7) return Quoted(words[1]) + " is not a bit 0..7";
    if (!on && !SameWord(words[2], "off")) return Quoted(words[2]) + " is neither on nor off";
    const std::string refused =
        LampFields(static_cast<std::uint32_t>(*byte), static_cast<std::uint32_t>(*bit), on, writes);
    return refused.empty() ? refused : refused + HexHint(words[0]);
}

std::string ValueStep(const Words& words, FieldWrites& writes) {
    const std::optional<std::int64_t> offset = ParseWhole(words[0]);
    const std::optional<double> value = ParseNumber(words[1]);
    if (!offset || *offset < 0 || *offset > 0xFFFF) return Quoted(words[0]) + " is not an offset";
    if (!value) return Quoted(words[1]) + " is not a number" + DecimalCommaHint(words[1]);
    const std::string refused =
        SingleValueFields(static_cast<std::uint32_t>(*offset), *value, writes);
    return refused.empty() ? refused : refused + HexHint(words[0]);
}

std::string RepeatStep(const Words&, FieldWrites&) {
    return "";
}

struct StepWord {
    const char* word;
    std::size_t arguments;
    const char* form;
    std::string (*read)(const Words& arguments, FieldWrites& writes);
};

constexpr StepWord kStepWords[] = {
    {"display", 2, "display NUMBER|OFFSET VALUE|blank", DisplayStep},
    {"lamp", 3, "lamp BYTE BIT on|off", LampStep},
    {"value", 2, "value OFFSET NUMBER", ValueStep},
    {"repeat", 0, "repeat", RepeatStep},
};
constexpr const StepWord& kRepeat = kStepWords[3];

// Spaces and tabs part words; a carriage return is what Windows editors end a line with.
Words SplitWords(std::string_view line) {
    Words words;
    std::size_t at = 0;
    while ((at = line.find_first_not_of(" \t\r", at)) != std::string_view::npos) {
        const std::size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
        words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

std::string JoinWords(const Words& words) {
    std::string text;
    for (std::string_view word : words) {
        if (!text.empty()) text += ' ';
        text.append(word);
    }
    return text;
}

// What reading has met so far, refused lines included.
struct Reading {
    double lastSeconds;      // the time of the last line that had one
    std::size_t repeatLine;  // the line of the repeat, 0 before it
};

// Reads one line that holds a step; "" or why it is refused.
std::string ReadStep(const Words& words, std::size_t line, Scenario& scenario, Reading& reading) {
    const std::optional<double> seconds = ParseNumber(words[0]);
    if (!seconds || *seconds < 0) {
        return Quoted(words[0]) + " is not a time: a step begins with its seconds from the start" +
               DecimalCommaHint(words[0]);
    }
    if (reading.repeatLine != 0) {
        return "the repeat of line " + std::to_string(reading.repeatLine) + " is the last step";
    }
    const double previous = reading.lastSeconds;
    reading.lastSeconds = *seconds;
    if (*seconds < previous) {
        char text[96];
        std::snprintf(text, sizeof text, "time %g comes before the %g of the step before it",
                      *seconds, previous);
        return text;
    }
    if (words.size() < 2) return "a time without a step";
    const StepWord* rule = nullptr;
    for (const StepWord& candidate : kStepWords) {
        if (SameWord(words[1], candidate.word)) rule = &candidate;
    }
    if (rule == nullptr) {
        return "unknown word " + Quoted(words[1]) + ": a step is display, lamp, value or repeat";
    }
    const Words arguments(words.begin() + 2, words.end());
    if (arguments.size() != rule->arguments) {
        return std::string(rule->word) + " reads: TIME " + rule->form;
    }
    ScenarioStep step{*seconds, line, JoinWords(Words(words.begin() + 1, words.end())), {}};
    const std::string refused = rule->read(arguments, step.writes);
    if (!refused.empty()) return refused;
    if (rule == &kRepeat) {
        if (*seconds <= 0) return "a repeat at time 0 would play the steps without end";
        // The round starts again in the same pass that plays such a step: nobody sees it.
        if (!scenario.steps.empty() && scenario.steps.back().seconds == *seconds) {
            return "the step of line " + std::to_string(scenario.steps.back().line) +
                   " is at the repeat's time, which starts the round again before anyone sees it";
        }
        scenario.repeatAfter = *seconds;
        reading.repeatLine = line;
    } else {
        scenario.steps.push_back(step);
    }
    return "";
}

}  // namespace

bool ReadScenario(std::string_view text, Scenario& scenario, std::vector<std::string>& errors) {
    scenario = {};
    errors.clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // Notepad's UTF-8 mark
    if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") {
        errors.push_back("the file is UTF-16 (Notepad's \"Unicode\"): save it as UTF-8");
        return false;
    }
    Reading reading{};
    std::size_t line = 0;
    while (!text.empty()) {
        ++line;
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view content = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        content = content.substr(0, content.find('#'));
        const Words words = SplitWords(content);
        if (words.empty()) continue;
        const std::string refused = ReadStep(words, line, scenario, reading);
        if (!refused.empty()) errors.push_back("line " + std::to_string(line) + ": " + refused);
    }
    return errors.empty();
}

bool LoadScenarioFile(const char* path, Scenario& scenario, std::vector<std::string>& errors) {
    scenario = {};
    errors.clear();
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        errors.push_back(std::string("cannot open ") + path + ": " + std::strerror(errno));
        return false;
    }
    std::string text;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0 && text.size() <= kMaxFileBytes) {
        text.append(chunk, got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed || text.size() > kMaxFileBytes) {
        errors.push_back(std::string(path) +
                         (failed ? " cannot be read" : " is over 1 MiB: not a scenario"));
        return false;
    }
    return ReadScenario(text, scenario, errors);
}

const ScenarioStep* NextDueStep(const Scenario& scenario, ScenarioPlayer& player, double elapsed) {
    for (;;) {
        if (player.next < scenario.steps.size()) {
            const ScenarioStep& step = scenario.steps[player.next];
            if (player.roundStart + step.seconds > elapsed) return nullptr;
            ++player.next;
            return &step;
        }
        if (scenario.repeatAfter <= 0 || player.roundStart + scenario.repeatAfter > elapsed) {
            return nullptr;
        }
        player.roundStart += scenario.repeatAfter;
        player.next = 0;
        ++player.round;
    }
}
