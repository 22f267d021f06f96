// The poll cycle: the add-on's state exported to the module's block 0x9400..0x94F7, and the
// mailbox and encoder counters of that block forwarded to the add-on as commands.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simlink/link_result.h"

constexpr std::size_t kSnapshotSize = 3976;
constexpr std::size_t kDisplayCount = 33;
constexpr std::size_t kFlagByteCount = 37;
constexpr std::size_t kSingleValueCount = 100;
constexpr std::size_t kEncoderCount = 8;

constexpr double kBlankDisplay = 65535.0;

// What connecting found in the module's mailbox, kept for the window to log once.
enum class MailboxAtConnect : std::uint8_t {
    Empty,         // emptied by an earlier bridge: nothing waited
    NeverWritten,  // the whole block read zero, so its 0 is fresh memory, not a code
    CodeWaiting,   // a code posted while no bridge ran: the first cycle forwards it
};

struct BridgeState {
    std::uint8_t snapshot[kSnapshotSize];  // this cycle's copy of the add-on's state block
    LinkResult linkResult;                 // out-parameter of every link call; the cycle's result
    std::int16_t mailbox;                  // read from 0x9400; -1 means empty
    std::int32_t encoderSlots[kEncoderCount];  // low byte read from 0x94F0 + k

    double displays[kDisplayCount];          // decoded, 65535.0 when blank
    double lastSentDisplays[kDisplayCount];  // as last queued
    std::uint16_t displayStaging;            // the 16-bit form being queued

    std::int32_t packedFlags[kFlagByteCount];    // sum per byte 0x9402 + k
    std::int32_t lastSentFlags[kFlagByteCount];  // as last queued

    std::int32_t lastSentSingleInts[kSingleValueCount];  // for int32 entries
    double lastSentSingleDoubles[kSingleValueCount];     // for float64 entries
    std::int32_t singleStaging;                          // the integer being queued

    std::int32_t lastSeenCounters[kEncoderCount];  // slot value that last produced a command
    bool mailboxMarkDue;  // the next cycle's exchange ends with 0xFFFF to a never-written mailbox

    MailboxAtConnect mailboxAtConnect;  // set by connecting, for the window's log
    std::int16_t codeAtConnect;         // the code that waited, when one did

    // What the window reports. The cycle only counts; the window formats, a few times a second.
    std::uint64_t cyclesRun;          // RunCycle calls since the bridge started
    std::uint64_t commandsForwarded;  // codes and turns written into the command block
    std::int32_t lastCommandCode;     // the last command forwarded, and its parameter
    double lastCommandParameter;
};

extern BridgeState g_bridge;

LinkResult RunCycle();

void DecodeDisplays();
void PackIndicatorFlags();
void ExportDisplays();
void ExportIndicatorFlags();
void ExportSingleValues();
void ServeCommandMailbox();
void ServeEncoders();

// Back to the start values, as in a fresh process: every value is exported again, the mailbox
// reads 0 and the counters start over (a reconnect, a test). Connecting then seeds them.
void ResetBridgeState();
