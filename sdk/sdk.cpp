// The add-on's SDK: its state view, read by every cycle, and its command block, into which
// one command at a time is written for the add-on to pick up.
#include "sdk/sdk.h"

#include <atomic>
#include <cstring>

SdkViews g_sdk;

namespace {

constexpr BOOL kNotInheritable = 0;

// Word positions in the command block.
constexpr std::size_t kCodeWord = 0;
constexpr std::size_t kKeptWord = 4;  // not ours to interpret: written back as it was read
constexpr std::size_t kParameterLowWord = 8;
constexpr std::size_t kParameterHighWord = 12;

// One word of the shared block, stored as a whole. MapViewOfFile places a view on an
// allocation-granularity boundary, so the word offsets alone decide whether each word is aligned
// as the store needs. It must not take a lock: the add-on reads the block from another process.
using CommandWord = std::atomic_ref<std::uint32_t>;
static_assert(kCodeWord % CommandWord::required_alignment == 0 &&
              kKeptWord % CommandWord::required_alignment == 0 &&
              kParameterLowWord % CommandWord::required_alignment == 0 &&
              kParameterHighWord % CommandWord::required_alignment == 0);
static_assert(CommandWord::is_always_lock_free);

// Stores one word of the staging copy into the shared block as a single 32-bit release store.
// Release order keeps both the compiler and the CPU from letting an earlier word arrive after a
// later one.
void PublishWord(std::size_t offset) {
    std::uint32_t word;
    std::memcpy(&word, g_sdk.commandStaging + offset, sizeof word);
    CommandWord(*reinterpret_cast<std::uint32_t*>(g_sdk.commandView + offset))
        .store(word, std::memory_order_release);
}

}  // namespace

LinkResult SdkOpen() {
    g_sdk.stateMapping = OpenFileMappingW(FILE_MAP_READ, kNotInheritable, kStateMappingName);
    if (g_sdk.stateMapping == nullptr) return STATUS_SDK_UNAVAILABLE;

    void* stateView = MapViewOfFile(g_sdk.stateMapping, FILE_MAP_READ, 0, 0, kStateViewSize);
    if (stateView == nullptr) {
        CloseHandle(g_sdk.stateMapping);
        g_sdk.stateMapping = nullptr;
        return STATUS_SDK_UNAVAILABLE;
    }
    g_sdk.stateView = static_cast<const std::uint8_t*>(stateView);

    // Without the command block the bridge still exports; it just cannot forward commands.
    g_sdk.commandMapping =
        OpenFileMappingW(FILE_MAP_ALL_ACCESS, kNotInheritable, kCommandMappingName);
    if (g_sdk.commandMapping != nullptr) {
        g_sdk.commandView = static_cast<std::uint8_t*>(
            MapViewOfFile(g_sdk.commandMapping, FILE_MAP_ALL_ACCESS, 0, 0, kCommandViewSize));
    }
    return LINK_OK;
}

void SdkSendCommand(std::int32_t code, double parameter) {
    std::memcpy(g_sdk.commandStaging, g_sdk.commandView, kCommandStagingSize);
    std::memcpy(g_sdk.commandStaging + kParameterLowWord, &parameter, sizeof parameter);
    std::memcpy(g_sdk.commandStaging + kCodeWord, &code, sizeof code);

    // The add-on polls the block and acts on a new code at once, so the code goes in last:
    // whenever it sees the new code, the parameter beside it is already the new one.
    PublishWord(kParameterLowWord);
    PublishWord(kParameterHighWord);
    PublishWord(kKeptWord);
    PublishWord(kCodeWord);
}

void SdkClose() {
    if (g_sdk.stateView != nullptr) UnmapViewOfFile(g_sdk.stateView);
    if (g_sdk.stateMapping != nullptr) CloseHandle(g_sdk.stateMapping);
    g_sdk.stateView = nullptr;
    g_sdk.stateMapping = nullptr;
}

void SdkCloseCommandBlock() {
    if (g_sdk.commandView != nullptr) UnmapViewOfFile(g_sdk.commandView);
    if (g_sdk.commandMapping != nullptr) CloseHandle(g_sdk.commandMapping);
    g_sdk.commandView = nullptr;
    g_sdk.commandMapping = nullptr;
}

void ResetSdkViews() {
    g_sdk = {};
}
