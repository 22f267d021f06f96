// monitor: a client of the simulator module, the way cockpit software uses the bridge. It reads
// the bridge block through the module, posts mailbox codes and turns encoders; each action is
// an ordinary exchange of the link. See monitor_options.cpp for its command line.
#include <cstdint>
#include <cstdio>

#include "simlink/simlink.h"
#include "tools/console/console.h"
#include "tools/monitor/block_view.h"
#include "tools/monitor/link_result_names.h"
#include "tools/monitor/live_screen.h"
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

// Prints the outcome of one step; true when it succeeded.
bool Report(const char* step, LinkResult result) {
    Say("%s: %d %s\n", step, result, LinkResultName(result));
    return result == LINK_OK;
}

// Says why the link could not be opened; the exit code for it. A module that is not there is
// told apart, in words for whoever runs the monitor: it is the usual mistake.
int OpenFailed(LinkResult result) {
    if (result == LINK_NO_SIMULATOR) {
        std::fprintf(stderr,
                     "monitor: the simulator's IPC module is not running: no window of class "
                     "UIPCMAIN or FS98MAIN.\nStart the simulator with its IPC module, wait "
                     "until it has loaded, then run monitor again.\n");
        return kExitNoModule;
    }
    if (result == LINK_MODULE_NOT_RUNNING) {
        std::fprintf(stderr,
                     "monitor: the simulator runs, but its IPC module is not running.\nInstall "
                     "or enable the module, restart the simulator, then run monitor again.\n");
        return kExitNoModule;
    }
    Report("opening the link", result);
    return kExitFailed;
}

bool ShowBlock(bool brief) {
    BridgeBlock block{};
    LinkResult result = LINK_OK;
    if (!ReadBridgeBlock(block, result)) return Report("reading the bridge block", result);
    if (brief) {
        PrintBridgeBlockBriefly(block);
    } else {
        Say("%s", BridgeBlockFrame(block, nullptr).c_str());
    }
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
                      "reading %u at %llu.%llu s, every %u ms; %c: changed since the reading "
                      "before%s\n",
                      count, tenths / 10, tenths % 10, options.watchMs, kChanged,
                      g_screen.console ? "; q, Esc or Ctrl+C ends" : "");
        const BridgeBlock* previous = count == 1 ? nullptr : &readings[(count + 1) % 2];
        DrawFrame(g_screen, header + BridgeBlockFrame(block, previous));
        if (WaitUnlessQuitKey(options.watchMs, g_endRequested)) break;
    }
    CloseLiveScreen(g_screen);
    return ok || Report("reading the bridge block", result);
}

bool PostCommand(std::int32_t code) {
    const std::int16_t mailbox = static_cast<std::int16_t>(code);
    LinkResult result = LINK_OK;
    LinkWrite(kMailboxOffset, sizeof mailbox, &mailbox, result) && LinkProcess(result);
    Say("posting %d to the mailbox 0x9400\n", code);
    return Report("  exchange", result);
}

// Reads the counter in one exchange and writes it back turned in the next; the bridge only ever
// reads the counters, so nothing changes it in between.
bool TurnEncoder(std::uint32_t encoder, std::int32_t steps) {
    const std::uint32_t offset = kFirstCounterOffset + encoder;
    std::uint8_t counter = 0;
    LinkResult result = LINK_OK;
    if (!(LinkRead(offset, sizeof counter, &counter, result) && LinkProcess(result))) {
        return Report("reading the encoder counter", result);
    }
    const std::uint8_t before = counter;
    counter = static_cast<std::uint8_t>(static_cast<std::uint32_t>(counter) +
                                        static_cast<std::uint32_t>(steps));  // modulo 256
    LinkWrite(offset, sizeof counter, &counter, result) && LinkProcess(result);
    Say("turning encoder %u by %d: counter 0x%04X %u -> %u\n", encoder, steps, offset, before,
        counter);
    return Report("  exchange", result);
}

// For a person watching the link work for the first time: every step and its outcome.
int RunRoundtrip(std::uint32_t simulator) {
    LinkResult result = LINK_OK;
    Say("opening the link (LinkOpen)\n");
    if (!LinkOpen(simulator, result)) return OpenFailed(result);
    Report("  result", result);
    Say("  handshake: module version 0x%08X (0x3304), simulator id %u (0x3308)\n",
        g_link.moduleVersion, g_link.simulatorId);

    const std::uint32_t written = 0xC0DE0000u | (GetTickCount() & 0xFFFFu);
    Say("writing 0x%08X to 0x%04X (LinkWrite, LinkProcess)\n", written, kRoundtripOffset);
    LinkWrite(kRoundtripOffset, sizeof written, &written, result) && LinkProcess(result);
    bool ok = Report("  exchange", result);

    std::uint32_t readBack = 0;
    Say("reading 0x%04X back in a later exchange (LinkRead, LinkProcess)\n", kRoundtripOffset);
    LinkRead(kRoundtripOffset, sizeof readBack, &readBack, result) && LinkProcess(result);
    ok = Report("  exchange", result) && ok;
    Say("  read 0x%08X: %s\n", readBack, readBack == written ? "as written" : "NOT as written");
    ok = ok && readBack == written;

    LinkClose();
    Say("link closed (LinkClose)\n");
    return ok ? kExitOk : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    MonitorOptions options;
    switch (ParseMonitorOptions(argc, argv, options)) {
        case MonitorCommandLine::Help:
            return kExitOk;
        case MonitorCommandLine::NotValid:
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
    bool ok = true;
    if (options.post) ok = PostCommand(options.code) && ok;
    if (options.turn) ok = TurnEncoder(options.encoder, options.steps) && ok;
    if (options.watchMs == 0) {
        ok = ShowBlock(options.brief) && ok;
    } else {
        ok = (options.brief ? WatchBriefly(options) : WatchLive(options)) && ok;
        EnterOrderlyEnd();
    }
    LinkClose();
    return ok ? kExitOk : kExitFailed;
}
