// kit-addon: stands in for the aircraft add-on, so that the bridge can be tried end to end without
// a simulator. See addon_options.cpp for its command line.
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tools/console/console.h"
#include "tools/kit-addon/addon_blocks.h"
#include "tools/kit-addon/addon_options.h"
#include "tools/kit-addon/cockpit_script.h"
#include "tools/kit-addon/kit_mark.h"
#include "tools/scenario/block_fields.h"
#include "tools/scenario/encoder_echo.h"
#include "tools/scenario/scenario.h"

namespace {

constexpr std::size_t kShownErrors = 20;

struct PublishedBlock {
    HANDLE mapping;
    std::uint8_t* view;
};

std::atomic<bool> g_endRequested;
AddonOptions g_options;
Scenario g_scenario;
ScenarioPlayer g_player;
ULONGLONG g_startMs;

// Runs on the watcher thread when the program is to end.
void RequestEnd() {
    g_endRequested = true;
}

// Reads the scenario, if one is given; false, with every refused line printed, when it cannot be
// played as a whole.
bool ReadScenarioFile() {
    if (g_options.scenarioPath == nullptr) return true;
    std::vector<std::string> errors;
    if (LoadScenarioFile(g_options.scenarioPath, g_scenario, errors)) return true;
    Say("%s: the scenario %s cannot be played:\n", ProgramName(), g_options.scenarioPath);
    for (std::size_t i = 0; i < errors.size() && i < kShownErrors; ++i) {
        Say("  %s\n", errors[i].c_str());
    }
    if (errors.size() > kShownErrors) {
        Say("  and %u more\n", static_cast<unsigned>(errors.size() - kShownErrors));
    }
    return false;
}

// Whether this add-on may publish: not beside the aircraft add-on or a kit add-on that runs;
// `takeOver` is set when a kit add-on that ended left its mappings, which Quorvane still holds.
bool MayPublish(bool& takeOver) {
    DWORD owner = 0;
    const StateMappingFound found = ExamineStateMapping(owner);
    takeOver = found == StateMappingFound::LeftByKit;
    if (found == StateMappingFound::None || takeOver) return true;
    if (found == StateMappingFound::KitRuns) {
        Say("%s: the add-on's state mapping %ls exists already: another kit add-on (process %lu) "
            "is running, and %s does not start beside it.\n",
            ProgramName(), kStateMappingName, owner, ProgramName());
    } else {
        Say("%s: the add-on's state mapping %ls exists already: the aircraft add-on is running, "
            "and %s does not start beside it.\n",
            ProgramName(), kStateMappingName, ProgramName());
    }
    return false;
}

// False when the mapping cannot be made, or when another add-on published it already; a mapping
// that `mayExist` is opened as it stands.
bool Publish(const wchar_t* name, std::size_t size, bool mayExist, PublishedBlock& block) {
    block.mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                       static_cast<DWORD>(size), name);
    if (block.mapping == nullptr || (GetLastError() == ERROR_ALREADY_EXISTS && !mayExist)) {
        return false;
    }
    block.view =
        static_cast<std::uint8_t*>(MapViewOfFile(block.mapping, FILE_MAP_ALL_ACCESS, 0, 0, size));
    return block.view != nullptr;
}

// Which encoder and display a command is for; with --echo the display then shows the target.
// A code 1232..1239 posted to the mailbox looks the same here: the add-on cannot tell them apart.
void DescribeEncoderCommand(std::int32_t code, double target, std::uint8_t* stateBlock) {
    const EncoderRow* encoder = EncoderOfCommand(code);
    if (encoder == nullptr) return;
    const DisplayRow& display = *DisplayByNumber(encoder->display);
    Say("    encoder %u (counter 0x%04X) targets display %u (0x%04X)\n",
        static_cast<unsigned>(EncoderNumber(*encoder)), encoder->counterOffset, encoder->display,
        display.destination);
    if (!g_options.echo) return;
    const Echo echo = EchoEncoder(*encoder, target, stateBlock);
    ApplyFieldWrites(echo.writes, stateBlock);
    Say("    echo: display %u shows %s%lld%s\n", encoder->display, echo.minus ? "minus " : "",
        static_cast<long long>(echo.shown), echo.limited ? ", as far as it goes" : "");
}

// Plays every step that is due. The first round prints each step, later ones only their start.
void PlayScenario(std::uint8_t* stateBlock) {
    const double elapsed = static_cast<double>(GetTickCount64() - g_startMs) / 1000.0;
    while (const ScenarioStep* step = NextDueStep(g_scenario, g_player, elapsed)) {
        ApplyFieldWrites(step->writes, stateBlock);
        if (g_player.round != 0) {
            if (g_player.next == 1) {
                Say("%.3f s: round %u, from the start\n", elapsed,
                    static_cast<unsigned>(g_player.round + 1));
            }
            continue;
        }
        Say("%.3f s, line %u: %s\n", elapsed, static_cast<unsigned>(step->line),
            step->text.c_str());
    }
}

std::int32_t CommandCode(const std::uint8_t* commandBlock) {
    std::int32_t code;
    std::memcpy(&code, commandBlock + kCommandCodeAt, sizeof code);
    return code;
}

void SetCommandCode(std::uint8_t* commandBlock, std::int32_t code) {
    std::memcpy(commandBlock + kCommandCodeAt, &code, sizeof code);
}

// Takes a posted command, if any. A client may write the code before the parameter, so the
// parameter is read a moment after the code was seen; a command that a client overwrites within
// that moment is not seen, as with the real add-on, which keeps no queue either.
void TakeCommand(std::uint8_t* commandBlock, std::uint8_t* stateBlock) {
    if (CommandCode(commandBlock) == kNoCommand) return;
    Sleep(1);
    const std::int32_t code = CommandCode(commandBlock);
    double parameter;
    std::memcpy(&parameter, commandBlock + kCommandParameterAt, sizeof parameter);
    SetCommandCode(commandBlock, kNoCommand);
    Say("command %d parameter %.10g\n", code, parameter);
    DescribeEncoderCommand(code, parameter, stateBlock);
}

void ApplyPresets(const AddonOptions& options, std::uint8_t* stateBlock) {
    for (std::size_t i = 0; i < options.presetCount; ++i) {
        const PresetField& field = options.presets[i];
        // The offset was checked to lie inside the state block, far below 65536.
        ApplyFieldWrite(
            {static_cast<std::uint16_t>(field.offset), field.isDouble, field.integer, field.real},
            stateBlock);
    }
}

}  // namespace

int main(int argc, char** argv) {
    AddonOptions& options = g_options;
    if (!ParseAddonOptions(argc, argv, options)) return 2;
    if (options.help) return 0;
    if (!ReadScenarioFile()) return 2;
    bool takeOver = false;
    if (!MayPublish(takeOver)) return 3;
    PublishedBlock state{};
    PublishedBlock command{};
    if (!Publish(kStateMappingName, kStateBlockSize, takeOver, state) ||
        !Publish(kCommandMappingName, kCommandViewSize, takeOver, command)) {
        Say("%s: cannot publish the SDK mappings (error %lu)\n", ProgramName(), GetLastError());
        return 1;
    }
    // A mapping taken over starts from zero, as a new one does, so no value of the last
    // scenario stays standing.
    std::memset(state.view, 0, kStateBlockSize);
    WriteKitMark(state.view);
    SetCommandCode(command.view, kNoCommand);
    if (takeOver) {
        Say("%s: took over the mappings a kit add-on left, which Quorvane still holds\n",
            ProgramName());
    }
    ApplyPresets(options, state.view);
    WatchForEnd(options.seconds, RequestEnd);
    // The steps at time 0 are in place before anybody is told the add-on is ready.
    g_startMs = GetTickCount64();
    PlayScenario(state.view);
    Say("%s ready: state and command mappings published%s\n", ProgramName(),
        options.script                    ? ", cockpit script running"
        : options.scenarioPath != nullptr ? ", scenario playing"
                                          : "");

    // Commands are looked for every millisecond; the script moves every tick.
    std::uint32_t tick = 0;
    ULONGLONG nextTick = GetTickCount64();
    while (!g_endRequested) {
        TakeCommand(command.view, state.view);
        PlayScenario(state.view);
        if (options.script && GetTickCount64() >= nextTick) {
            PlayCockpitScript(state.view, tick++);
            nextTick += kScriptTickMs;
        }
        Sleep(1);
    }
    ReleaseKitMark(state.view);
    Say("%s: ending\n", ProgramName());
    return 0;
}
