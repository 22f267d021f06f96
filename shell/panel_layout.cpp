#include "shell/panel_layout.h"

#include <cstring>

#include "shell/dpi.h"

namespace {

struct Heights {
    int of[kPanelLineCount];
};

Heights MeasureLines(PanelWindow& window, int width) {
    Heights heights;
    for (int i = 0; i < kPanelLineCount; ++i) heights.of[i] = window.TextHeight(i, width);
    return heights;
}

// Each line's text height with a margin around and between the lines and the status bar below.
int ClientHeightFor(const Heights& heights, int margin, int statusBar) {
    int needed = margin + statusBar;
    for (const int height : heights.of) needed += height + margin;
    return needed;
}

// The window's height for lines of these heights: as tall as they need, or 200 at 96 DPI.
int WindowHeightFor(const Heights& heights, int statusBar, int frameHeight, UINT dpi) {
    const int needed =
        ClientHeightFor(heights, ScaleForDpi(kPanelMargin, dpi), statusBar) + frameHeight;
    const int least = ScaleForDpi(kLeastWindowHeight, dpi);
    return needed > least ? needed : least;
}

int Width(const RECT& rect) {
    return rect.right - rect.left;
}
int Height(const RECT& rect) {
    return rect.bottom - rect.top;
}

}  // namespace

bool LayOutPanelLines(PanelWindow& window, const RECT& foreseenFrame, UINT dpi,
                      PanelPlacement& placement) {
    if (window.Minimised()) {
        placement.laidOut = false;
        return false;
    }
    const int margin = ScaleForDpi(kPanelMargin, dpi);
    const int width = ScaleForDpi(kWindowWidth, dpi);
    const int statusBar = window.StatusBarHeight();
    RECT frame = window.WindowRect();
    RECT client = window.ClientRect();
    // A window that has its width already shows its real frame; one that has not yet, the
    // frame foreseen for it.
    const bool sized = Width(frame) == width;
    const int frameWidth = sized ? Width(frame) - Width(client) : Width(foreseenFrame);
    const int frameHeight = sized ? Height(frame) - Height(client) : Height(foreseenFrame);
    int lineWidth = width - frameWidth - 2 * margin;
    Heights heights = MeasureLines(window, lineWidth);
    const int height = WindowHeightFor(heights, statusBar, frameHeight, dpi);
    if (!sized || Height(frame) != height) {
        window.Resize(width, height);
        client = window.ClientRect();
    }
    // Where the frame came out other than foreseen (a menu bar wrapped into two rows, or the
    // system DPI's frame where Windows lacks the call for the window's own), the lines are
    // measured in the client area the window really has, and the window gets what it lacks.
    if (Width(client) - 2 * margin != lineWidth) {
        lineWidth = Width(client) - 2 * margin;
        heights = MeasureLines(window, lineWidth);
    }
    if (const int lacking = ClientHeightFor(heights, margin, statusBar) - Height(client);
        lacking > 0) {
        frame = window.WindowRect();
        window.Resize(width, Height(frame) + lacking);
        client = window.ClientRect();
    }
    const int bottom = Height(client) - statusBar - margin;
    int top = margin;
    for (int i = 0; i < kPanelLineCount; ++i) {
        const int lineHeight = i + 1 == kPanelLineCount ? bottom - top : heights.of[i];
        const RECT place{margin, top, margin + lineWidth, top + lineHeight};
        if (!placement.laidOut || std::memcmp(&place, &placement.lines[i], sizeof place) != 0) {
            window.PlaceLine(i, place);
            placement.lines[i] = place;
        }
        top += lineHeight + margin;
    }
    placement.laidOut = true;
    return true;
}

PanelWindowSize PanelWindowSizeAt(PanelWindow& window, const RECT& foreseenFrame, UINT dpi) {
    const int width = ScaleForDpi(kWindowWidth, dpi);
    const int lineWidth = width - Width(foreseenFrame) - 2 * ScaleForDpi(kPanelMargin, dpi);
    return {width, WindowHeightFor(MeasureLines(window, lineWidth), window.StatusBarHeight(),
                                   Height(foreseenFrame), dpi)};
}
