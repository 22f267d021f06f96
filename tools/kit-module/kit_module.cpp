// kit-module: stands in for the simulator's IPC module, so that the link and the bridge can be
// tried end to end without a simulator. See module_options.cpp for its command line.
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/win32.h"
#include "simlink/simlink.h"
#include "tools/console/console.h"
#include "tools/exchange/module_space.h"
#include "tools/kit-module/module_options.h"
#include "tools/kit-module/offsets_mapping.h"
#include "tools/scenario/real_thing.h"

namespace {

ModuleOptions g_options;
HANDLE g_offsetsMapping;         // the named mapping other processes open
std::uint8_t* g_offsetsBase;     // its view: the space first, the counters after it
exchange::ModuleSpace* g_space;  // the space, living in that view
HWND g_window;                   // the window clients find by class
int g_exitCode;                  // 3 once another module window appeared beside ours
UINT g_ipcMessage;               // kIpcMessageName
std::uint32_t g_exchanges;       // messages handled so far
std::uint32_t g_frames;          // frames drawn so far (with --frame-ms)

constexpr UINT_PTR kWatchTimer = 1;
constexpr UINT kWatchPeriodMs = 1000;

static_assert(offsetof(exchange::ModuleSpace, bytes) == 0);
static_assert(sizeof(exchange::ModuleSpace) <= kExchangeCountAt);

// Prints one record of a traced exchange, its first bytes in hexadecimal.
void TraceRecord(void*, exchange::RecordKind kind, std::uint32_t offset, std::uint32_t size,
                 const std::uint8_t* data) {
    constexpr std::uint32_t kShownBytes = 16;
    char bytes[kShownBytes * 3 + 4] = "";
    const std::uint32_t shown = size < kShownBytes ? size : kShownBytes;
    for (std::uint32_t i = 0; i < shown; ++i) {
        std::snprintf(bytes + 3 * i, 4, " %02X", data[i]);
    }
    if (shown < size) std::strcat(bytes, " ..");
    Say("  %-5s 0x%04X size %u:%s\n", kind == exchange::RecordKind::Read ? "read" : "write", offset,
        size, bytes);
}

// Publishes the counters after an exchange, for other processes to read.
void PublishCounters() {
    const std::uint16_t greeting = exchange::Greeting(*g_space);
    std::memcpy(g_offsetsBase + kExchangeCountAt, &g_exchanges, sizeof g_exchanges);
    std::memcpy(g_offsetsBase + kGreetingAt, &greeting, sizeof greeting);
    std::memcpy(g_offsetsBase + kGreetingWritesAt, &g_space->greetingWrites,
                sizeof g_space->greetingWrites);
}

// The length of the next frame: frameMs, plus up to frameJitterMs drawn at random.
DWORD NextFrameMs() {
    static std::uint32_t noise = GetTickCount() | 1u;
    if (g_options.frameJitterMs == 0) return g_options.frameMs;
    noise = noise * 1664525u + 1013904223u;
    return g_options.frameMs + (noise >> 8) % (g_options.frameJitterMs + 1);
}

// A simulator's main thread, which owns the module's window: it draws a frame, and only then
// looks at its queue and handles everything that came meanwhile, the messages other processes
// sent included (PeekMessage calls their handlers). A client's exchange therefore waits for the
// end of the frame under way.
void RunFrames() {
    for (;;) {
        Sleep(NextFrameMs());
        ++g_frames;
        std::memcpy(g_offsetsBase + kFrameCountAt, &g_frames, sizeof g_frames);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return;
            DispatchMessageA(&message);
        }
    }
}

// Carries out the records of the client's buffer named by the atom. False when the buffer
// cannot be reached.
bool CarryOutExchange(ATOM atom) {
    char name[256];
    if (GlobalGetAtomNameA(atom, name, sizeof name) == 0) return false;
    const HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (mapping == nullptr) return false;
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0);
    MEMORY_BASIC_INFORMATION region{};
    const bool reached = view != nullptr && VirtualQuery(view, &region, sizeof region) != 0;
    if (reached) {
        // The buffer's size is what the client's mapping really holds, not what it claims.
        exchange::CarryOutRecords(*g_space, static_cast<std::uint8_t*>(view), region.RegionSize,
                                  g_options.trace ? TraceRecord : nullptr, nullptr);
    }
    if (view != nullptr) UnmapViewOfFile(view);
    CloseHandle(mapping);
    return reached;
}

// Runs when a client sends kIpcMessageName: one exchange.
LRESULT OnIpcMessage(WPARAM wParam) {
    if (g_options.hang) {
        Say("exchange %u: hanging\n", g_exchanges + 1);
        for (;;) Sleep(INFINITE);
    }
    const ATOM atom = static_cast<ATOM>(wParam & 0xFFFF);
    if (g_options.trace) Say("exchange %u: atom 0x%04X\n", g_exchanges + 1, atom);
    const bool carried = CarryOutExchange(atom);
    ++g_exchanges;
    PublishCounters();
    if (g_options.delayMs != 0) Sleep(g_options.delayMs);
    if (!carried) {
        Say("exchange %u: no request buffer for atom 0x%04X\n", g_exchanges, atom);
        return 0;
    }
    return g_options.answer;
}

// Runs every second: a simulator started after the kit module gets the field to itself.
void OnWatchTimer() {
    const char* windowClass = RunningModuleClass(g_window);
    if (windowClass == nullptr) return;
    Say("%s: a simulator module window (class %s) appeared beside this one: the simulator has "
        "started, and %s ends.\n",
        ProgramName(), windowClass, ProgramName());
    g_exitCode = 3;
    DestroyWindow(g_window);
}

LRESULT CALLBACK ModuleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == g_ipcMessage && g_ipcMessage != 0) return OnIpcMessage(wParam);
    switch (message) {
        case WM_TIMER:
            OnWatchTimer();
            return 0;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Runs on the watcher thread when the program is to end.
void RequestEnd() {
    PostMessageA(g_window, WM_CLOSE, 0, 0);
}

bool ModuleAlreadyRuns() {
    const char* windowClass = RunningModuleClass();
    if (windowClass == nullptr) return false;
    Say("%s: a simulator module window (class %s) exists already: the simulator, or another "
        "kit module, is running, and %s does not start beside it.\n",
        ProgramName(), windowClass, ProgramName());
    return true;
}

// Creates the named mapping and places the offset space in it, holding the handshake values.
bool CreateOffsetSpace() {
    g_offsetsMapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          kOffsetsMappingSize, g_options.mappingName);
    if (g_offsetsMapping == nullptr) return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        Say("%s: another stand-in module holds %s; use --mapping\n", ProgramName(),
            g_options.mappingName);
        return false;
    }
    g_offsetsBase = static_cast<std::uint8_t*>(
        MapViewOfFile(g_offsetsMapping, FILE_MAP_ALL_ACCESS, 0, 0, kOffsetsMappingSize));
    if (g_offsetsBase == nullptr) return false;
    g_space = new (g_offsetsBase) exchange::ModuleSpace;
    exchange::ResetModuleSpace(*g_space);
    exchange::WriteSpace32(*g_space, exchange::kModuleVersionOffset, g_options.version);
    exchange::WriteSpace32(*g_space, exchange::kSimulatorWordOffset, g_options.marker);
    PublishCounters();
    return true;
}

bool CreateModuleWindow() {
    g_ipcMessage = RegisterWindowMessageA(kIpcMessageName);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ModuleWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = g_options.windowClass;
    if (g_ipcMessage == 0 || RegisterClassA(&windowClass) == 0) return false;
    // A hidden top-level window: clients find it by class, nobody needs to see it.
    g_window = CreateWindowExA(0, g_options.windowClass, "Quorvane stand-in module",
                               WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 200, 100, nullptr,
                               nullptr, windowClass.hInstance, nullptr);
    return g_window != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    switch (ParseModuleOptions(argc, argv, g_options)) {
        case ModuleCommandLine::Help:
            return 0;
        case ModuleCommandLine::NotValid:
            return 2;
        case ModuleCommandLine::Run:
            break;
    }
    if (ModuleAlreadyRuns()) return 3;
    if (!CreateOffsetSpace()) {
        Say("%s: cannot create the offsets mapping (error %lu)\n", ProgramName(), GetLastError());
        return 1;
    }
    if (!CreateModuleWindow()) {
        Say("%s: cannot create the %s window (error %lu)\n", ProgramName(), g_options.windowClass,
            GetLastError());
        return 1;
    }
    WatchForEnd(g_options.seconds, RequestEnd);
    SetTimer(g_window, kWatchTimer, kWatchPeriodMs, nullptr);
    Say("%s ready: class %s, version 0x%08X, marker 0x%08X, mapping %s\n", ProgramName(),
        g_options.windowClass, g_options.version, g_options.marker, g_options.mappingName);
    if (g_options.frameMs != 0) {
        RunFrames();
        Say("%s: %u exchanges in %u frames, ending\n", ProgramName(), g_exchanges, g_frames);
    } else {
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
        Say("%s: %u exchanges, ending\n", ProgramName(), g_exchanges);
    }
    return g_exitCode;
}
