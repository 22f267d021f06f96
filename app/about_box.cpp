// The About box: a modal dialog that only OK, Escape or its close box ends.
#include <windows.h>

#include "app/quorvane.h"

// Runs for each message of the About box while it is open.
INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}
