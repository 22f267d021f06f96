#include "tools/kit-module/module_options.h"

#include <cstring>

#include "simlink/simlink.h"
#include "tools/console/console.h"
#include "tools/exchange/module_space.h"
#include "tools/kit-module/offsets_mapping.h"

namespace {

constexpr char kUsage[] =
    " [options]\n"
    "Stands in for the simulator's IPC module: owns a window of class UIPCMAIN that answers\n"
    "\"FsasmLib:IPC\" on a 64 KiB offset space. Prints \"ready\" once the window exists.\n"
    "  --class NAME      window class (default UIPCMAIN; FS98MAIN is the other one)\n"
    "  --version N       value at 0x3304 (default 0x19980005)\n"
    "  --marker N        value at 0x3308 (default 0xFADE0001: marker and simulator id 1)\n"
    "  --answer N        result of every exchange message (default 1)\n"
    "  --delay-ms N      wait N ms before answering each exchange\n"
    "  --hang            never answer: the handler does not return\n"
    "  --frame-ms N      answer as a busy simulator does: draw a frame of N ms, then handle\n"
    "                    every message that came meanwhile, then the next frame; each client's\n"
    "                    exchange waits for the end of the frame under way\n"
    "  --frame-jitter-ms J  with --frame-ms: each frame lasts N to N + J ms\n"
    "  --trace           print the records of every exchange\n"
    "  --seconds N       end after N seconds\n"
    "  --mapping NAME    name of the offsets mapping (default QuorvaneStandInModuleOffsets)\n"
    "  --help            show this text\n"
    "The offset space is also the named mapping QuorvaneStandInModuleOffsets: bytes\n"
    "0x0000..0xFFFF are the offsets; at 0x11000 a 32-bit count of exchanges, at 0x11004 the\n"
    "last word written at 0x330A, at 0x1100C a 32-bit count of frames drawn. Other programs\n"
    "may read and write it at any time.\n"
    "Ends on WM_CLOSE, Ctrl+C, --seconds, or when standard input is a pipe that closes.\n"
    "Exit codes: 0 ended as asked, or --help; 2 options not understood; 3 a module window\n"
    "(UIPCMAIN or FS98MAIN) exists already: the simulator or another module runs; 1 the window\n"
    "or mapping cannot be made.\n";

}  // namespace

ModuleCommandLine ParseModuleOptions(int argc, char** argv, ModuleOptions& options) {
    options = {kModuleWindowClasses[0],
               kOffsetsMappingName,
               exchange::kDefaultModuleVersion,
               exchange::kDefaultSimulatorWord,
               1,
               0,
               false,
               false,
               0,
               0,
               0};
    bool understood = true;
    bool help = false;
    std::int32_t answer = 1;
    for (int i = 1; i < argc && understood; ++i) {
        const char* name = argv[i];
        if (IsOption(name, "--help") || IsOption(name, "-h") || IsOption(name, "/?")) {
            help = true;
        } else if (IsOption(name, "--hang")) {
            options.hang = true;
        } else if (IsOption(name, "--trace")) {
            options.trace = true;
        } else if (IsOption(name, "--class")) {
            understood = TakeText(argc, argv, i, options.windowClass);
        } else if (IsOption(name, "--mapping")) {
            understood = TakeText(argc, argv, i, options.mappingName);
        } else if (IsOption(name, "--version")) {
            understood = TakeUnsigned(argc, argv, i, options.version);
        } else if (IsOption(name, "--marker")) {
            understood = TakeUnsigned(argc, argv, i, options.marker);
        } else if (IsOption(name, "--answer")) {
            understood = TakeSigned(argc, argv, i, answer);
        } else if (IsOption(name, "--delay-ms")) {
            understood = TakeUnsigned(argc, argv, i, options.delayMs);
        } else if (IsOption(name, "--frame-ms")) {
            understood = TakeUnsigned(argc, argv, i, options.frameMs) && options.frameMs != 0;
        } else if (IsOption(name, "--frame-jitter-ms")) {
            understood = TakeUnsigned(argc, argv, i, options.frameJitterMs);
        } else if (IsOption(name, "--seconds")) {
            understood = TakeUnsigned(argc, argv, i, options.seconds);
        } else {
            understood = false;
        }
    }
    options.answer = answer;
    // A frame's jitter without its length would be a frame of 0 to J ms: not what was meant.
    if (options.frameJitterMs != 0 && options.frameMs == 0) understood = false;
    if (!understood || help) Say("usage: %s%s", ProgramName(), kUsage);
    if (!understood) return ModuleCommandLine::NotValid;
    return help ? ModuleCommandLine::Help : ModuleCommandLine::Run;
}
