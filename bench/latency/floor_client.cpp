// The floor under Quorvane's CPU: a client that does across processes only what a quiet cycle
// must, a 10 ms window timer of its own and on each tick the cycle's nine reads in one exchange
// with the module. No panel, no state block: what Quorvane spends beyond this client, measured
// alike, is the cycle's own work and, beyond the message-only floor, its window on the display.
#include "bench/latency/cycle_reads.h"
#include "bench/latency/latency.h"
#include "simlink/simlink.h"

namespace {

constexpr UINT_PTR kTickTimerId = 1;
constexpr UINT kTickPeriodMs = 10;  // Quorvane's cycle period
constexpr UINT_PTR kEndTimerId = 2;

CycleReads g_reads;
std::uint32_t g_exchanges;
std::uint32_t g_failures;

// Runs for every message of the client's one window: a tick exchanges, the end quits.
LRESULT CALLBACK FloorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_TIMER) return DefWindowProcW(window, message, wParam, lParam);
    if (wParam == kEndTimerId) {
        PostQuitMessage(0);
        return 0;
    }
    LinkResult result = LINK_OK;
    ++g_exchanges;
    g_failures += !ExchangeCycleReads(g_reads, result);
    return 0;
}

// A message-only window, which receives timer messages and has nothing drawn; or, `windowed`, a
// top-level window minimised as Quorvane's is, with nothing in it.
HWND CreateFloorWindow(bool windowed) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = FloorWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuorvaneFloorClient";
    if (RegisterClassW(&windowClass) == 0) return nullptr;
    if (!windowed) {
        return CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                               nullptr, windowClass.hInstance, nullptr);
    }
    const HWND window =
        CreateWindowExW(0, windowClass.lpszClassName, L"Quorvane floor client", WS_OVERLAPPEDWINDOW,
                        100, 100, 300, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) return nullptr;
    // Shown, then minimised, as Quorvane's after its start-up pause.
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    ShowWindow(window, SW_MINIMIZE);
    return window;
}

}  // namespace

bool RunFloorClient(std::uint32_t seconds, bool windowed) {
    LinkResult result = LINK_OK;
    if (!LinkOpen(0, result)) {
        Report("floor: the link does not open (result %d)\n", result);
        return false;
    }
    const HWND window = CreateFloorWindow(windowed);
    if (window == nullptr) {
        Report("floor: no window (error %lu)\n", GetLastError());
        LinkClose();
        return false;
    }
    SetTimer(window, kTickTimerId, kTickPeriodMs, nullptr);
    SetTimer(window, kEndTimerId, seconds * 1000, nullptr);
    Report("floor ready\n");
    const double start = NowMicroseconds();
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    const double elapsedS = (NowMicroseconds() - start) / 1e6;
    DestroyWindow(window);
    LinkClose();
    // The name as the script's results know it.
    Report("floor name=%s exchanges_per_s=%.1f failures=%u\n",
           windowed ? "windowed" : "message_only", g_exchanges / elapsedS, g_failures);
    return g_failures == 0;
}
