// The two blocks as the stand-in add-on publishes them, under the add-on's own names
// (kStateMappingName and kCommandMappingName, in sdk/sdk.h).
//
// Tests may open both by name themselves (OpenFileMappingW) to set state fields or to look at
// the command block: the add-on takes no lock and expects none.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sdk/sdk.h"

// The bridge maps kStateViewSize bytes of the state block; whole pages hold them with room to
// spare.
constexpr std::size_t kStateBlockSize = (kStateViewSize + 4095) / 4096 * 4096;

// Command block (kCommandViewSize bytes): code, 4 bytes a client writes back unchanged,
// parameter, a spare byte.
constexpr std::size_t kCommandCodeAt = 0;       // int32
constexpr std::size_t kCommandParameterAt = 8;  // double

// A client may post code 0 as a real command, so "no command" cannot be 0: the add-on starts
// with this code and writes it back after taking each command.
constexpr std::int32_t kNoCommand = -1;
