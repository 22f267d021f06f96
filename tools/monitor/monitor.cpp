// monitor: a client of the simulator module, the way cockpit software uses the bridge. It reads
// the bridge block through the module, posts mailbox codes and turns encoders; each action is
// an ordinary exchange of the link. See monitor_options.cpp for its command line.
#include <cstdint>
#include <cstdio>
#include <string>

#include "simlink/simlink.h"
#include "tools/console/console.h"
#include "tools/monitor/block_view.h"
#include "tools/monitor/link_failure_words.h"
#include "tools/monitor/live_screen.h"
#include "tools/monitor/mailbox_post.h"
#include "tools/monitor/monitor_options.h"

namespace {

// Where the round trip writes: bytes of the bridge block that the bridge neither writes nor
// reads, so a running bridge does not disturb it and is not disturbed.
constexpr std::uint32_t kRoundtripOffset = 0x9474;

// The exit codes --help lists.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // an exchange failed, or the module refused the link
constexpr int kExitUsage = 2;
constexpr int kExitNoModule = 3;
constexpr int kExitNotTaken = 4;  // --post found a code not taken and posted nothing

// While watching: set when watching is to end, so that a wait between readings ends at once.
HANDLE g_endRequested;
// The live view's console, global so that a forced end can show the cursor again.
LiveScreen g_screen;

bool EndRequested() {
    return WaitForSingleObject(g_endRequested, 0) == WAIT_OBJECT_0;
}

// Runs on the watcher thread when watching is to end.
void RequestEnd() {
    SetEvent(g_endRequested);
}

// Runs on the watcher thread when the main thread did not end in time after RequestEnd (an
// exchange that does not return), once the main thread is stopped: the global atom would
// outlive the process, and a console's cursor would stay hidden.
int ReleaseAtForcedEnd() {
    CloseLiveScreen(g_screen);
    LinkClose();
    return kExitFailed;
}

// Says why `step` failed, in words, when it did; true when it succeeded.
bool Succeeded(const char* step, LinkResult result) {
    if (result == LINK_OK) return true;
    std::fprintf(stderr, "monitor: %s failed. %s\n", step,
                 LinkFailureWords(result, g_link.lastSendError).c_str());
    return false;
}

// Says why the link could not be opened; the exit code for it. A module that is not there has
// a code of its own: it is the usual mistake.
int OpenFailed(LinkResult result) {
    Succeeded("opening the link", result);
    const bool noModule = result == LINK_NO_SIMULATOR || result == LINK_MODULE_NOT_RUNNING;
    return noModule ? kExitNoModule : kExitFailed;
}

bool ShowBlock(bool brief) {
    BridgeBlock block{};
    LinkResult result = LINK_OK;
    if (!ReadBridgeBlock(block, result)) return Succeeded("reading the bridge block", result);
    Say("%s", brief ? BridgeBlockLine(block).c_str()
                    : BridgeBlockFrame(block, nullptr, ConsoleColumns()).c_str());
    return true;
}

// One line a reading, after the time since the first, until the end is requested.
bool WatchBriefly(const MonitorOptions& options) {
    const ULONGLONG start = GetTickCount64();
    while (!EndRequested()) {
        const ULONGLONG tenths = (GetTickCount64() - start) / 100;
        Say("%3llu.%llu s  ", tenths / 10, tenths % 10);
        if (!ShowBlock(true)) return false;
        WaitForSingleObject(g_endRequested, options.watchMs);
    }
    return true;
}

// The live view: each reading drawn with what changed since the one before marked, until the
// end is requested or a quit key pressed.
bool WatchLive(const MonitorOptions& options) {
    g_screen = OpenLiveScreen();
    const std::size_t columns =
        g_screen.console ? static_cast<std::size_t>(g_screen.width) : kAnyColumns;
    BridgeBlock readings[2] = {};
    LinkResult result = LINK_OK;
    const ULONGLONG start = GetTickCount64();
    bool ok = true;
    for (unsigned count = 1; ok && !EndRequested(); ++count) {
        BridgeBlock& block = readings[count % 2];
        ok = ReadBridgeBlock(block, result);
        if (!ok) break;
        const ULONGLONG tenths = (GetTickCount64() - start) / 100;
        char header[160];
        std::snprintf(header, sizeof header,
                      "reading %u at %llu.%llu s, every %u ms; %c: changed%s\n", count, tenths / 10,
                      tenths % 10, options.watchMs, kChanged,
                      g_screen.console ? "; q, Esc or Ctrl+C ends" : "");
        const BridgeBlock* previous = count == 1 ? nullptr : &readings[(count + 1) % 2];
        DrawFrame(g_screen, header + BridgeBlockFrame(block, previous, columns));
        if (WaitUnlessQuitKey(options.watchMs, g_endRequested)) break;
    }
    CloseLiveScreen(g_screen);
    return ok || Succeeded("reading the bridge block", result);
}

// Whether the whole block reads 0: no bridge has written it since the module started.
bool BlockNeverWritten() {
    BridgeBlock block{};
    LinkResult result = LINK_OK;
    if (!ReadBridgeBlock(block, result)) return false;
    for (const std::uint8_t byte : block) {
        if (byte != 0) return false;
    }
    return true;
}

// The exit code for a post of `code` to the mailbox.
int PostCommand(std::int32_t code, bool force) {
    const MailboxPost post = PostToMailbox(static_cast<std::int16_t>(code), force);
    switch (post.outcome) {
        case PostOutcome::Posted:
            Say("posted %d to the mailbox 0x9400\n", code);
            return kExitOk;
        case PostOutcome::NotTaken:
            std::fprintf(stderr,
                         "monitor: the code %d posted before was not taken yet: is Quorvane "
                         "running?\nNothing was posted; --force posts over it.\n",
                         post.found);
            if (post.found == 0 && BlockNeverWritten()) {
                std::fprintf(stderr,
                             "The block 0x9400..0x94F7 is all 0: no bridge has written it since "
                             "the module started.\n");
            }
            return kExitNotTaken;
        case PostOutcome::LinkFailed:
            break;
    }
    Succeeded("posting to the mailbox", post.result);
    return kExitFailed;
}

// Reads the counter in one exchange and writes it back turned in the next; the bridge only ever
// reads the counters, so nothing changes it in between.
bool TurnEncoder(std::uint32_t encoder, std::int32_t steps) {
    const std::uint32_t offset = kFirstCounterOffset + encoder;
    std::uint8_t counter = 0;
    LinkResult result = LINK_OK;
    if (!(LinkRead(offset, sizeof counter, &counter, result) && LinkProcess(result))) {
        return Succeeded("reading the encoder counter", result);
    }
    const std::uint8_t before = counter;
    counter = static_cast<std::uint8_t>(static_cast<std::uint32_t>(counter) +
                                        static_cast<std::uint32_t>(steps));  // modulo 256
    if (!(LinkWrite(offset, sizeof counter, &counter, result) && LinkProcess(result))) {
        return Succeeded("turning the encoder", result);
    }
    Say("turned encoder %u by %d: counter 0x%04X %u -> %u\n", encoder, steps, offset, before,
        counter);
    return true;
}

// One step's outcome under the step, for the round trip; true when it succeeded.
bool ShowOutcome(LinkResult result) {
    if (result == LINK_OK) {
        Say("  ok\n");
    } else {
        Say("  failed. %s\n", LinkFailureWords(result, g_link.lastSendError).c_str());
    }
    return result == LINK_OK;
}

// For a person watching the link work for the first time: every step and its outcome.
int RunRoundtrip(std::uint32_t simulator) {
    LinkResult result = LINK_OK;
    Say("opening the link (LinkOpen)\n");
    if (!LinkOpen(simulator, result)) return OpenFailed(result);
    ShowOutcome(result);
    Say("  handshake: module version 0x%08X (0x3304), simulator id %u (0x3308)\n",
        g_link.moduleVersion, g_link.simulatorId);

    const std::uint32_t written = 0xC0DE0000u | (GetTickCount() & 0xFFFFu);
    Say("writing 0x%08X to 0x%04X (LinkWrite, LinkProcess)\n", written, kRoundtripOffset);
    LinkWrite(kRoundtripOffset, sizeof written, &written, result) && LinkProcess(result);
    bool ok = ShowOutcome(result);

    std::uint32_t readBack = 0;
    Say("reading 0x%04X back in a later exchange (LinkRead, LinkProcess)\n", kRoundtripOffset);
    LinkRead(kRoundtripOffset, sizeof readBack, &readBack, result) && LinkProcess(result);
    ok = ShowOutcome(result) && ok;
    Say("  read 0x%08X: %s\n", readBack, readBack == written ? "as written" : "NOT as written");
    ok = ok && readBack == written;

    LinkClose();
    Say("link closed (LinkClose)\n");
    return ok ? kExitOk : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    MonitorOptions options;
    std::string said;
    switch (ParseMonitorOptions(argc, argv, options, said)) {
        case MonitorCommandLine::Help:
            Say("%s", said.c_str());
            return kExitOk;
        case MonitorCommandLine::NotValid:
            std::fputs(said.c_str(), stderr);
            return kExitUsage;
        case MonitorCommandLine::Run:
            break;
    }
    if (options.roundtrip) return RunRoundtrip(options.simulator);

    // Watched from before the link opens, so that Ctrl+C also ends a handshake that hangs.
    if (options.watchMs != 0) {
        g_endRequested = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        WatchForEnd(options.seconds, RequestEnd, ReleaseAtForcedEnd);
    }
    LinkResult result = LINK_OK;
    if (!LinkOpen(options.simulator, result)) {
        if (options.watchMs != 0) EnterOrderlyEnd();
        return OpenFailed(result);
    }
    Say("link open: module version 0x%08X, simulator id %u\n", g_link.moduleVersion,
        g_link.simulatorId);
    int exitCode = kExitOk;
    if (options.post) exitCode = PostCommand(options.code, options.force);
    bool ok = exitCode == kExitOk;
    if (options.turn) ok = TurnEncoder(options.encoder, options.steps) && ok;
    if (options.watchMs == 0) {
        ok = ShowBlock(options.brief) && ok;
    } else {
        ok = (options.brief ? WatchBriefly(options) : WatchLive(options)) && ok;
        EnterOrderlyEnd();
    }
    LinkClose();
    if (exitCode != kExitOk) return exitCode;
    return ok ? kExitOk : kExitFailed;
}
