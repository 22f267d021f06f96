#include "tools/kit-addon/addon_options.h"

#include <cstring>

#include "tools/console/console.h"
#include "tools/kit-addon/addon_blocks.h"

namespace {

constexpr char kUsage[] =
    " [options] [SCENARIO]\n"
    "Stands in for the aircraft add-on: publishes the state block\n"
    "iFly737NG_SDK_FileMappingObject (4096 bytes) and the command block\n"
    "iFly737NG_SDK1_FileMappingObject (int32 code at 0, double parameter at 8), prints every\n"
    "command that arrives and sets the code back to -1 (no command; 0 is a command).\n"
    "Prints \"ready\" once both mappings exist.\n"
    "  SCENARIO                 play this scenario file (kit\\README.txt says how to write one)\n"
    "  --echo                   an encoder command (1232..1239) sets its display to the target\n"
    "  --script                 displays count, lamps blink, values move\n"
    "  --set OFFSET=VALUE       start the int32 state field at OFFSET with VALUE\n"
    "  --set-double OFFSET=VAL  start the double state field at OFFSET with VAL\n"
    "  --seconds N              end after N seconds\n"
    "Other programs may open both mappings by name and change them at any time.\n"
    "Ends on Ctrl+C, --seconds, or when standard input is a pipe that closes.\n"
    "  --help                   show this text\n"
    "A kit add-on's mappings that Quorvane still holds after that add-on ended are taken over.\n"
    "Exit codes: 0 ended, or --help; 2 options or scenario not understood; 3 the add-on's\n"
    "state mapping exists already (the aircraft add-on or another kit add-on runs);\n"
    "1 the mappings cannot be made.\n";

// OFFSET=VALUE, the field lying inside the state block.
bool TakePreset(int argc, char** argv, int& i, bool isDouble, PresetField& field) {
    const char* text = nullptr;
    if (!TakeText(argc, argv, i, text)) return false;
    const char* equals = std::strchr(text, '=');
    char offsetText[16];
    const std::size_t offsetLength =
        equals != nullptr ? static_cast<std::size_t>(equals - text) : sizeof offsetText;
    if (offsetLength >= sizeof offsetText) return false;
    std::memcpy(offsetText, text, offsetLength);
    offsetText[offsetLength] = '\0';
    field = {0, isDouble, 0, 0.0};
    const std::size_t width = isDouble ? sizeof(double) : sizeof(std::int32_t);
    return ParseUnsigned(offsetText, field.offset) && field.offset <= kStateBlockSize - width &&
           (isDouble ? ParseReal(equals + 1, field.real) : ParseSigned(equals + 1, field.integer));
}

}  // namespace

bool ParseAddonOptions(int argc, char** argv, AddonOptions& options) {
    options = {};
    bool understood = true;
    for (int i = 1; i < argc && understood; ++i) {
        const char* name = argv[i];
        const bool setInteger = IsOption(name, "--set");
        if (IsOption(name, "--help") || IsOption(name, "-h") || IsOption(name, "/?")) {
            options.help = true;
        } else if (IsOption(name, "--script")) {
            options.script = true;
        } else if (IsOption(name, "--echo")) {
            options.echo = true;
        } else if (name[0] != '-' && options.scenarioPath == nullptr) {
            options.scenarioPath = name;
        } else if (IsOption(name, "--seconds")) {
            understood = TakeUnsigned(argc, argv, i, options.seconds);
        } else if (setInteger || IsOption(name, "--set-double")) {
            understood =
                options.presetCount < kMaxPresetFields &&
                TakePreset(argc, argv, i, !setInteger, options.presets[options.presetCount++]);
        } else {
            understood = false;
        }
    }
    // One cockpit at a time: the built-in one or a scenario's.
    if (options.script && options.scenarioPath != nullptr) understood = false;
    if (!understood || options.help) Say("usage: %s%s", ProgramName(), kUsage);
    return understood;
}
