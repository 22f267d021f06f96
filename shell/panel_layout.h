// How the panel's three lines sit in the window: stacked from the top above the status bar, each
// as tall as its words need at the width it really gets, the last reaching down to the status
// bar; the window 300 wide at 96 DPI and as tall as the lines need, or 200. What the layout asks
// of the window is a PanelWindow: app/ gives one over the real controls, a test one whose frame
// comes out other than foreseen, as Windows' does before 10 (1607) or when the menu bar wraps.
#pragma once

#include "platform/win32.h"

constexpr int kPanelLineCount = 3;
constexpr int kPanelMargin = 6;          // pixels around and between the lines, at 96 DPI
constexpr int kWindowWidth = 300;        // the window at 96 DPI: always this wide,
constexpr int kLeastWindowHeight = 200;  // and at least this tall

class PanelWindow {
  public:
    virtual bool Minimised() = 0;  // a minimised window has no client area to fit
    // The height line `line`'s words need at `width` pixels in its font, wrapped as it wraps.
    virtual int TextHeight(int line, int width) = 0;
    virtual RECT WindowRect() = 0;
    virtual RECT ClientRect() = 0;
    virtual int StatusBarHeight() = 0;
    virtual void Resize(int width, int height) = 0;  // where it stands; the status bar follows
    virtual void PlaceLine(int line, const RECT& place) = 0;

  protected:
    ~PanelWindow() = default;
};

// Where the lines were last put; `laidOut` false until they were, and again once the window was
// minimised or changed its DPI, so that everything is placed anew.
struct PanelPlacement {
    bool laidOut;
    RECT lines[kPanelLineCount];
};

// Lays the panel out at `dpi`. `foreseenFrame` is the frame around a client area of height 0
// that Windows is expected to draw; where the window's real frame turns out otherwise, the lines
// are measured again in the client area the window got, and the window grows by what it lacks.
// The window is resized only when its size changes and a line moved only when its place does.
// False, with nothing done, while the window is minimised.
bool LayOutPanelLines(PanelWindow& window, const RECT& foreseenFrame, UINT dpi,
                      PanelPlacement& placement);

struct PanelWindowSize {
    int width;
    int height;
};

// The window size the panel needs at `dpi`, its lines measured by `window` in that DPI's font and
// framed as foreseen: what the window tells Windows before a move to a monitor of that scale, so
// that the window Windows sizes for it there is the one the panel lays itself out to.
PanelWindowSize PanelWindowSizeAt(PanelWindow& window, const RECT& foreseenFrame, UINT dpi);
