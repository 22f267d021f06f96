// A scenario: what the kit add-on plays on its state block, read from a text file in the terms
// of the block a panel reads. One step a line, "#" to the end of a line is a comment:
//
//     TIME display NUMBER|OFFSET VALUE|blank    a display (1..33, or 0x9430..0x9470)
//     TIME lamp BYTE BIT on|off                 bit 0..7 of a lamp byte 0x9402..0x9426
//     TIME value OFFSET NUMBER                  a single value 0x9480..0x94EF
//     TIME repeat                               from here, everything again from time 0
//
// TIME is seconds from the start (0.5 allowed); times may not go backwards, and a repeat is the
// last step, later than the step before it. The file is UTF-8 (or ASCII), at most 1 MiB. Every step
// is turned into state fields as the file is read, so a file that plays at all plays as a whole.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "tools/scenario/block_fields.h"

struct ScenarioStep {
    double seconds;      // from the start of a round
    std::size_t line;    // in the file, from 1
    std::string text;    // the step as written, without its time and comment
    FieldWrites writes;  // what the step sets in the state block
};

struct Scenario {
    std::vector<ScenarioStep> steps;  // in the order of their times
    double repeatAfter;               // seconds; 0 when the scenario plays once
};

// False, with one message per faulty line ("line N: why"), when any line is refused.
bool ReadScenario(std::string_view text, Scenario& scenario, std::vector<std::string>& errors);
// The same from a file; a file that cannot be read is one error.
bool LoadScenarioFile(const char* path, Scenario& scenario, std::vector<std::string>& errors);

// Where a playing scenario stands.
struct ScenarioPlayer {
    std::size_t next;   // the step to play next
    double roundStart;  // seconds from the start at which the current round began
    std::size_t round;  // rounds begun before the current one
};

// The next step due at `elapsed` seconds from the start, or null when none is due yet; a repeat
// that is due starts the next round.
const ScenarioStep* NextDueStep(const Scenario& scenario, ScenarioPlayer& player, double elapsed);
