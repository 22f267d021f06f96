#include "shell/dpi.h"

namespace {

// `name` in user32, which every GUI process has loaded; null on a Windows without it.
template <typename Call>
Call FindUser32(const char* name) {
    return reinterpret_cast<Call>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

// Windows before 10 (version 1607) has neither call: the screen's DPI is the system's.
UINT ScreenDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

}  // namespace

UINT SystemDpi() {
    using GetDpiForSystemCall = UINT(WINAPI*)();
    const auto getDpiForSystem = FindUser32<GetDpiForSystemCall>("GetDpiForSystem");
    const UINT dpi = getDpiForSystem != nullptr ? getDpiForSystem() : 0;
    return dpi != 0 ? dpi : ScreenDpi();
}

UINT DpiOfWindow(HWND window) {
    using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
    const auto getDpiForWindow = FindUser32<GetDpiForWindowCall>("GetDpiForWindow");
    const UINT dpi = getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
    return dpi != 0 ? dpi : SystemDpi();
}

HFONT CreateMessageFont(UINT dpi) {
    using SystemParametersInfoForDpiCall = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
    const auto forDpi = FindUser32<SystemParametersInfoForDpiCall>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (forDpi != nullptr && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
        return CreateFontIndirectW(&metrics.lfMessageFont);
    }
    // Before Windows 10 (1607) the metrics are the system DPI's; scaled to this one.
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        LOGFONTW& font = metrics.lfMessageFont;
        font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
        return CreateFontIndirectW(&font);
    }
    return nullptr;
}

RECT WindowRectForClient(int clientHeight, DWORD style, DWORD extendedStyle, UINT dpi) {
    using AdjustWindowRectExForDpiCall = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    const auto forDpi = FindUser32<AdjustWindowRectExForDpiCall>("AdjustWindowRectExForDpi");
    RECT rect{0, 0, 0, clientHeight};
    if (forDpi != nullptr && forDpi(&rect, style, TRUE, extendedStyle, dpi)) return rect;
    // Before Windows 10 (1607): the frame at the system DPI. The panel corrects what the
    // window's own DPI makes of it once the window has its size.
    rect = {0, 0, 0, clientHeight};
    AdjustWindowRectEx(&rect, style, TRUE, extendedStyle);
    return rect;
}
