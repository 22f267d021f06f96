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
    "  --trace           print the records of every exchange\n"
    "  --seconds N       end after N seconds\n"
    "  --mapping NAME    name of the offsets mapping (default QuorvaneStandInModuleOffsets)\n"
    "The offset space is also the named mapping QuorvaneStandInModuleOffsets: bytes\n"
    "0x0000..0xFFFF are the offsets; at 0x11000 a 32-bit count of exchanges, at 0x11004 the\n"
    "last word written at 0x330A. Other programs may read and write it at any time.\n"
    "Ends on WM_CLOSE, Ctrl+C, --seconds, or when standard input is a pipe that closes.\n"
    "Exit codes: 2 options not understood; 3 a module window (UIPCMAIN or FS98MAIN) exists\n"
    "already: the simulator or another module runs; 1 the window or mapping cannot be made.\n";

}  // namespace

bool ParseModuleOptions(int argc, char** argv, ModuleOptions& options) {
    options = {kModuleWindowClasses[0],
               kOffsetsMappingName,
               exchange::kDefaultModuleVersion,
               exchange::kDefaultSimulatorWord,
               1,
               0,
               false,
               false,
               0};
    bool understood = true;
    std::int32_t answer = 1;
    for (int i = 1; i < argc && understood; ++i) {
        const char* name = argv[i];
        if (IsOption(name, "--hang")) {
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
        } else if (IsOption(name, "--seconds")) {
            understood = TakeUnsigned(argc, argv, i, options.seconds);
        } else {
            understood = false;
        }
    }
    options.answer = answer;
    if (!understood) Say("usage: %s%s", ProgramName(), kUsage);
    return understood;
}
