// addon: stands in for the aircraft add-on, so that the bridge can be tried end to end without
// a simulator. See addon_options.cpp for its command line.
#include <atomic>
#include <cstring>

#include "platform/win32.h"
#include "tools/addon/addon_blocks.h"
#include "tools/addon/addon_options.h"
#include "tools/addon/cockpit_script.h"
#include "tools/console/console.h"

namespace {

struct PublishedBlock {
    HANDLE mapping;
    std::uint8_t* view;
};

std::atomic<bool> g_endRequested;

// Runs on the watcher thread when the program is to end.
void RequestEnd() {
    g_endRequested = true;
}

// False when the mapping cannot be made, or when another add-on published it already.
bool Publish(const wchar_t* name, std::size_t size, PublishedBlock& block) {
    block.mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                       static_cast<DWORD>(size), name);
    if (block.mapping == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) return false;
    block.view =
        static_cast<std::uint8_t*>(MapViewOfFile(block.mapping, FILE_MAP_ALL_ACCESS, 0, 0, size));
    return block.view != nullptr;
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
void TakeCommand(std::uint8_t* commandBlock) {
    if (CommandCode(commandBlock) == kNoCommand) return;
    Sleep(1);
    const std::int32_t code = CommandCode(commandBlock);
    double parameter;
    std::memcpy(&parameter, commandBlock + kCommandParameterAt, sizeof parameter);
    SetCommandCode(commandBlock, kNoCommand);
    Say("command %d parameter %.10g\n", code, parameter);
}

void ApplyPresets(const AddonOptions& options, std::uint8_t* stateBlock) {
    for (std::size_t i = 0; i < options.presetCount; ++i) {
        const PresetField& field = options.presets[i];
        if (field.isDouble) {
            std::memcpy(stateBlock + field.offset, &field.real, sizeof field.real);
        } else {
            std::memcpy(stateBlock + field.offset, &field.integer, sizeof field.integer);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    AddonOptions options;
    if (!ParseAddonOptions(argc, argv, options)) return 2;
    PublishedBlock state{};
    PublishedBlock command{};
    if (!Publish(kStateMappingName, kStateBlockSize, state) ||
        !Publish(kCommandMappingName, kCommandBlockSize, command)) {
        Say("addon: cannot publish the SDK mappings (error %lu); is another add-on running?\n",
            GetLastError());
        return 1;
    }
    SetCommandCode(command.view, kNoCommand);
    ApplyPresets(options, state.view);
    WatchForEnd(options.seconds, RequestEnd);
    Say("addon ready: state and command mappings published%s\n",
        options.script ? ", cockpit script running" : "");

    // Commands are looked for every millisecond; the script moves every tick.
    std::uint32_t tick = 0;
    ULONGLONG nextTick = GetTickCount64();
    while (!g_endRequested) {
        TakeCommand(command.view);
        if (options.script && GetTickCount64() >= nextTick) {
            PlayCockpitScript(state.view, tick++);
            nextTick += kScriptTickMs;
        }
        Sleep(1);
    }
    Say("addon: ending\n");
    return 0;
}
