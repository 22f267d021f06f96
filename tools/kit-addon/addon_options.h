// What the stand-in add-on is told on its command line.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t kMaxPresetFields = 32;

// A state field given a value at start: an int32, or a double.
struct PresetField {
    std::uint32_t offset;
    bool isDouble;
    std::int32_t integer;
    double real;
};

struct AddonOptions {
    bool help;                 // show the usage and end with 0
    bool script;               // move fields over time, like a cockpit in use
    const char* scenarioPath;  // a scenario file to play, or null
    bool echo;                 // an encoder command sets its display to the target
    std::uint32_t seconds;     // end after this long; 0: until ended
    std::size_t presetCount;
    PresetField presets[kMaxPresetFields];
};

// Defaults, then the arguments. False, with the usage printed, on anything not understood; on
// --help (also -h, /?) true with the usage printed and `help` set.
bool ParseAddonOptions(int argc, char** argv, AddonOptions& options);
