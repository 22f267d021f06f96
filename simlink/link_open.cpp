// Opening and closing the link: finding the module, naming a request buffer of our own for it,
// and the version handshake that tells a running module from a window that only looks like one.
#include "simlink/simlink.h"

namespace {

constexpr const char* kBufferNameFormat = "FsasmLib:IPC:%X:%X";

constexpr std::uint32_t kVersionOffset = 0x3304;
constexpr std::uint32_t kSimulatorOffset = 0x3308;
constexpr std::uint32_t kGreetingOffset = 0x330A;
constexpr std::uint16_t kGreeting = 2002;  // 0x07D2, sent as D2 07

constexpr std::uint32_t kOldestModuleVersion = 0x19980005;
constexpr std::uint32_t kRunningMarker = 0xFADE;
constexpr int kHandshakePasses = 5;
constexpr DWORD kPauseAfterHandshakeMs = 100;

// Ends a failed open: everything acquired so far is released.
bool GiveUp(LinkResult code, LinkResult& result) {
    result = code;
    LinkClose();
    return false;
}

// Both values are read on every pass; the greeting goes with the first pass only. The module
// may need a few exchanges before it has both values to give.
bool Handshake(LinkResult& result) {
    for (int pass = 1; pass <= kHandshakePasses; ++pass) {
        if (g_link.moduleVersion != 0 && g_link.simulatorId != 0) break;
        if (!LinkRead(kVersionOffset, sizeof g_link.moduleVersion, &g_link.moduleVersion, result) ||
            !LinkRead(kSimulatorOffset, sizeof g_link.simulatorId, &g_link.simulatorId, result) ||
            (pass == 1 && !LinkWrite(kGreetingOffset, sizeof kGreeting, &kGreeting, result)) ||
            !LinkProcess(result)) {
            return false;
        }
        Sleep(kPauseAfterHandshakeMs);
    }
    return true;
}

// The module's window under its first class, else under its second; null when neither exists.
HWND FindModuleWindow(bool& underSecondClass) {
    underSecondClass = false;
    if (HWND window = FindWindowExA(nullptr, nullptr, kModuleWindowClasses[0], nullptr))
        return window;
    underSecondClass = true;
    return FindWindowExA(nullptr, nullptr, kModuleWindowClasses[1], nullptr);
}

}  // namespace

bool LinkModuleAnswers(UINT timeoutMs) {
    bool underSecondClass = false;
    const HWND window = FindModuleWindow(underSecondClass);
    if (window == nullptr) return true;
    // Windows marks a window hung only after 5 s, and Wine never: the timeout decides.
    // A send that times out may leave the last error as it found it: an error left by an
    // earlier call (183 from the log's CreateDirectoryW) would read as an outright refusal.
    DWORD_PTR result = 0;
    SetLastError(0);
    if (SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, timeoutMs,
                            &result) != 0) {
        return true;
    }
    const DWORD error = GetLastError();
    return error != 0 && error != ERROR_TIMEOUT;
}

bool LinkOpen(std::uint32_t requiredSimulator, LinkResult& result) {
    if (g_link.bufferStart != nullptr) {
        result = LINK_ALREADY_OPEN;
        return false;
    }
    g_link.moduleVersion = 0;
    g_link.simulatorId = 0;

    bool foundUnderSecondClass = false;
    g_link.moduleWindow = FindModuleWindow(foundUnderSecondClass);
    if (g_link.moduleWindow == nullptr) {
        result = LINK_NO_SIMULATOR;
        return false;
    }

    g_link.ipcMessageId = RegisterWindowMessageA(kIpcMessageName);
    if (g_link.ipcMessageId == 0) {
        result = LINK_NO_MESSAGE;
        return false;
    }

    // A name of our own for every attempt, so a buffer is never shared with anybody else.
    char bufferName[64];
    ++g_link.openCount;
    wsprintfA(bufferName, kBufferNameFormat, GetCurrentProcessId(), g_link.openCount);

    g_link.bufferAtom = GlobalAddAtomA(bufferName);
    if (g_link.bufferAtom == 0) return GiveUp(LINK_NO_ATOM, result);

    g_link.bufferMapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                              kRequestBufferSize, bufferName);
    if (g_link.bufferMapping == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        return GiveUp(LINK_NO_MAPPING, result);
    }

    g_link.bufferStart =
        static_cast<std::uint8_t*>(MapViewOfFile(g_link.bufferMapping, FILE_MAP_WRITE, 0, 0, 0));
    if (g_link.bufferStart == nullptr) return GiveUp(LINK_NO_VIEW, result);
    g_link.writePos = g_link.bufferStart;
    g_link.queuedCount = 0;

    if (!Handshake(result)) return GiveUp(result, result);

    if (g_link.moduleVersion < kOldestModuleVersion ||
        (g_link.simulatorId >> 16) != kRunningMarker) {
        return GiveUp(foundUnderSecondClass ? LINK_MODULE_NOT_RUNNING : LINK_BAD_VERSION, result);
    }
    g_link.simulatorId &= 0xFFFF;

    if (requiredSimulator != 0 && requiredSimulator != g_link.simulatorId) {
        return GiveUp(LINK_WRONG_SIMULATOR, result);
    }
    result = LINK_OK;
    return true;
}

void LinkClose() {
    g_link.moduleWindow = nullptr;
    g_link.ipcMessageId = 0;
    if (g_link.bufferAtom != 0) {
        GlobalDeleteAtom(g_link.bufferAtom);
        g_link.bufferAtom = 0;
    }
    if (g_link.bufferStart != nullptr) {
        UnmapViewOfFile(g_link.bufferStart);
        g_link.bufferStart = nullptr;
    }
    if (g_link.bufferMapping != nullptr) {
        CloseHandle(g_link.bufferMapping);
        g_link.bufferMapping = nullptr;
    }
}

void ResetLinkState() {
    const std::uint32_t openCount = g_link.openCount;
    g_link = {};
    g_link.openCount = openCount;
}

void ResetLinkStateForTest() {
    ResetLinkState();
    g_link.openCount = 0;
}
