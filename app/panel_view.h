// The panel: three static lines between the menu and the status bar that say what became of
// the simulator module, the add-on and the bridge. Standard "Static" controls, so that screen
// readers, UI automation and tests read them with WM_GETTEXT.
#pragma once

#include <windows.h>

#include "panel/panel.h"

// Runs once, from the main window's creation, after the status bar exists.
void CreatePanel(HWND window, HWND statusBar);
// The status bar and the lines take the message font for `dpi`, and the panel is laid out anew.
void LayOutPanel(UINT dpi);
// Shows the lines that differ from what the panel shows, then lays it out once.
void ShowPanel(const PanelLines& lines);
// The window size the panel needs at `dpi`, before a move to a monitor of that scale; false
// until the panel was laid out.
bool PanelSizeAtDpi(UINT dpi, SIZE& size);
// After the window was restored: a panel that changed while it was minimised is laid out.
void FitPanelAfterRestore();
// Colours the panel's lines like the window behind them.
LRESULT OnCtlColorStatic(HDC deviceContext);
