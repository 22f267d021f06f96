// The two named mappings the stand-in add-on publishes, as the bridge and tests open them.
//
// Tests may open both by name themselves (OpenFileMappingW) to set state fields or to look at
// the command block: the add-on takes no lock and expects none.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr wchar_t kStateMappingName[] = L"iFly737NG_SDK_FileMappingObject";
constexpr wchar_t kCommandMappingName[] = L"iFly737NG_SDK1_FileMappingObject";

// The bridge maps 3977 bytes of the state block; a page holds them with room to spare.
constexpr std::size_t kStateBlockSize = 4096;

// Command block: code, 4 bytes a client writes back unchanged, parameter, a spare byte.
constexpr std::size_t kCommandBlockSize = 17;
constexpr std::size_t kCommandCodeAt = 0;       // int32
constexpr std::size_t kCommandParameterAt = 8;  // double

// A client may post code 0 as a real command, so "no command" cannot be 0: the add-on starts
// with this code and writes it back after taking each command.
constexpr std::int32_t kNoCommand = -1;
