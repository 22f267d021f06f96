// The add-on's two named mappings: the state block it rewrites continuously (read only here)
// and the small command block through which it takes one command at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32.h"
#include "simlink/link_result.h"

// The names under which the add-on publishes its two blocks. Everything that opens or publishes
// them (the kit's add-on, the tests, the benchmarks) takes them from here.
inline constexpr WCHAR kStateMappingName[] = L"iFly737NG_SDK_FileMappingObject";
inline constexpr WCHAR kCommandMappingName[] = L"iFly737NG_SDK1_FileMappingObject";

constexpr std::size_t kStateViewSize = 3977;     // the view; the snapshot takes 3976 bytes of it
constexpr std::size_t kCommandViewSize = 17;     // code, a word kept as is, parameter, spare byte
constexpr std::size_t kCommandStagingSize = 16;  // offsets 0..15; byte 16 is never touched

struct SdkViews {
    HANDLE stateMapping;                               // kStateMappingName
    const std::uint8_t* stateView;                     // null while the state view is absent
    HANDLE commandMapping;                             // kCommandMappingName
    std::uint8_t* commandView;                         // null while the command view is absent
    std::uint8_t commandStaging[kCommandStagingSize];  // the block as it is about to be written
};

extern SdkViews g_sdk;

// LINK_OK when the state view is mapped, STATUS_SDK_UNAVAILABLE otherwise. The command view
// is optional and does not change the result.
LinkResult SdkOpen();

// Only while the command view is mapped; the caller checks.
void SdkSendCommand(std::int32_t code, double parameter);

// Releases the state view and its mapping; the command view lives until the process ends.
void SdkClose();
// Releases the command view and its mapping. Only a reconnect does, before it opens both again:
// at exit the system takes them with the process.
void SdkCloseCommandBlock();

inline const std::uint8_t* SdkStateView() {
    return g_sdk.stateView;
}
inline bool SdkCommandViewMapped() {
    return g_sdk.commandView != nullptr;
}

// Back to the start values, once both views are released (a reconnect, a test).
void ResetSdkViews();
