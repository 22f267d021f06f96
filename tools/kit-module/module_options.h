// What the stand-in module is told on its command line.
#pragma once

#include <cstdint>

#include "platform/win32.h"

struct ModuleOptions {
    const char* windowClass;      // "UIPCMAIN" or "FS98MAIN"
    const char* mappingName;      // where other processes find the offset space
    std::uint32_t version;        // held at 0x3304
    std::uint32_t marker;         // held at 0x3308: marker 0xFADE high, simulator id low
    LRESULT answer;               // the exchange message's result
    std::uint32_t delayMs;        // pause before each answer
    bool hang;                    // never return from the exchange message
    bool trace;                   // print every record
    std::uint32_t seconds;        // end after this long; 0: run until closed
    std::uint32_t frameMs;        // answer only between frames this long; 0: at once
    std::uint32_t frameJitterMs;  // each frame lasts frameMs to frameMs + this
};

enum class ModuleCommandLine {
    Run,       // options filled in
    Help,      // --help: the usage was printed
    NotValid,  // the usage was printed after what was not understood
};

// Defaults, then the arguments.
ModuleCommandLine ParseModuleOptions(int argc, char** argv, ModuleOptions& options);
