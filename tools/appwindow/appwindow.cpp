// appwindow: finds Quorvane's main window and does to it what a person would with the mouse:
// waits for its status, reads its panel, restores it from the minimised state it puts itself
// in, chooses File > Reconnect, opens its About box, ends it. make demo takes its pictures of
// the running program this way. See kUsage.
#include <cstring>

#include "app/resource_ids.h"
#include "platform/win32.h"
#include "tools/console/console.h"
#include "shell/settings.h"

namespace {

constexpr char kUsage[] =
    "usage: appwindow ACTION...\n"
    "Finds Quorvane's main window (class QUORVANE), waiting up to 30 s for it, and acts on it.\n"
    "The actions run in the order given:\n"
    "  --wait-start        wait up to 30 s for the start to end (the status bar showing other\n"
    "                      than LOADING); print the status; fail unless it is Status: OK\n"
    "  --wait-ok           wait up to 30 s for Status: OK, through whatever NOT OK and LOADING\n"
    "                      come first (an automatic reconnect); print it; fail without it\n"
    "  --status            print the status bar's text\n"
    "  --panel             print the panel's three lines (controls 201..203), one per line\n"
    "  --reconnect         File > Reconnect (command 106); returns once Quorvane has carried\n"
    "                      it out, so a --status or --wait-start after it sees the outcome\n"
    "  --auto-reconnect    print whether File > Reconnect automatically (command 107) is on,\n"
    "                      as kept in HKCU\\Software\\Quorvane\n"
    "  --toggle-auto-reconnect\n"
    "                      choose File > Reconnect automatically, then print it as above\n"
    "  --restore           restore the window and bring it to the front; print its frame as\n"
    "                      WIDTHxHEIGHT+LEFT+TOP, the geometry that ImageMagick's -crop takes\n"
    "  --about             open the About box (command 104); print its frame likewise\n"
    "  --exit              close the About box if it is open, then File > Exit (command 105)\n"
    "Exit code 0 when every action succeeded, else 1; 2 for a command line not understood.\n";

constexpr DWORD kWaitMs = 30000;
constexpr DWORD kPollMs = 50;
constexpr DWORD kAnswerMs = 5000;  // Quorvane's thread sleeps 2 s while it says LOADING
constexpr int kPanelLineIds[] = {IDC_PANEL_MODULE, IDC_PANEL_ADDON, IDC_PANEL_BRIDGE};
constexpr char kMainClass[] = "QUORVANE";
constexpr char kAboutTitle[] = "About Quorvane";
constexpr char kLoading[] = "Status: LOADING";
constexpr char kRunning[] = "Status: OK";

// Polls `found` until it gives a window or kWaitMs pass.
template <typename Find>
HWND AwaitWindow(Find found) {
    const ULONGLONG deadline = GetTickCount64() + kWaitMs;
    for (;;) {
        if (HWND window = found()) return window;
        if (GetTickCount64() >= deadline) return nullptr;
        Sleep(kPollMs);
    }
}

HWND MainWindow() {
    return AwaitWindow([] { return FindWindowA(kMainClass, nullptr); });
}

// The About box is a top-level dialog that the main window owns.
HWND AboutBox(HWND main) {
    HWND about = FindWindowA(nullptr, kAboutTitle);
    return about != nullptr && GetWindow(about, GW_OWNER) == main ? about : nullptr;
}

// WM_GETTEXT crosses processes: the system copies the text back. A status bar answers with the
// text of its part 0.
template <std::size_t size>
bool ReadText(HWND control, char (&text)[size]) {
    text[0] = '\0';
    DWORD_PTR length = 0;
    return control != nullptr &&
           SendMessageTimeoutA(control, WM_GETTEXT, size, reinterpret_cast<LPARAM>(text),
                               SMTO_BLOCK, kAnswerMs, &length) != 0;
}

bool ReadStatus(HWND main, char (&text)[64]) {
    return ReadText(FindWindowExA(main, nullptr, "msctls_statusbar32", nullptr), text);
}

void PrintFrame(const char* what, HWND window) {
    RECT frame{};
    GetWindowRect(window, &frame);
    Say("%s %ldx%ld+%ld+%ld\n", what, frame.right - frame.left, frame.bottom - frame.top,
        frame.left, frame.top);
}

// Start-up is over once the status bar has a text other than LOADING; none changes after that
// but OK, which a failed cycle turns into NOT OK.
bool AwaitStart(HWND main) {
    char text[64];
    const ULONGLONG deadline = GetTickCount64() + kWaitMs;
    while (!ReadStatus(main, text) || text[0] == '\0' || std::strcmp(text, kLoading) == 0) {
        if (GetTickCount64() >= deadline) {
            Say("appwindow: still \"%s\" after %lu s\n", text, kWaitMs / 1000);
            return false;
        }
        Sleep(kPollMs);
    }
    Say("%s\n", text);
    return std::strcmp(text, kRunning) == 0;
}

bool AwaitOk(HWND main) {
    char text[64];
    const ULONGLONG deadline = GetTickCount64() + kWaitMs;
    while (!ReadStatus(main, text) || std::strcmp(text, kRunning) != 0) {
        if (GetTickCount64() >= deadline) {
            Say("appwindow: still \"%s\" after %lu s\n", text, kWaitMs / 1000);
            return false;
        }
        Sleep(kPollMs);
    }
    Say("%s\n", text);
    return true;
}

bool PrintStatus(HWND main) {
    char text[64];
    if (!ReadStatus(main, text)) return false;
    Say("%s\n", text);
    return true;
}

bool PrintPanel(HWND main) {
    for (const int id : kPanelLineIds) {
        char line[256];
        if (!ReadText(GetDlgItem(main, id), line)) return false;
        Say("%s\n", line);
    }
    return true;
}

// Sent, not posted, so that it returns after the handler: a reconnect that reaches both sides
// holds the thread through LOADING, and one to a module that does not answer through its sends.
bool ChooseReconnect(HWND main) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(main, WM_COMMAND, IDM_RECONNECT, 0, SMTO_BLOCK, kWaitMs, &result) !=
           0;
}

// The option as Quorvane keeps it for the user. Its menu's check mark cannot be read from here
// everywhere: Wine keeps menus per process.
bool PrintAutoReconnect() {
    Say("Reconnect automatically: %s\n", ReadReconnectAutomatically() ? "on" : "off");
    return true;
}

// Sent, so that the option is kept once it returns.
bool ToggleAutoReconnect(HWND main) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(main, WM_COMMAND, IDM_RECONNECT_AUTOMATICALLY, 0, SMTO_BLOCK,
                               kWaitMs, &result) != 0 &&
           PrintAutoReconnect();
}

// Restored, raised and painted at once, so that a picture taken next shows it whole.
bool Restore(HWND main) {
    ShowWindow(main, SW_RESTORE);
    SetForegroundWindow(main);
    RedrawWindow(main, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    PrintFrame("window", main);
    return true;
}

// Posted, not sent: the About box runs a modal loop inside the handler of the command.
bool OpenAbout(HWND main) {
    PostMessageA(main, WM_COMMAND, IDM_ABOUT, 0);
    HWND about = AwaitWindow([main] { return AboutBox(main); });
    if (about == nullptr) return false;
    PrintFrame("about", about);
    return true;
}

bool Exit(HWND main) {
    if (HWND about = AboutBox(main)) PostMessageA(about, WM_COMMAND, IDOK, 0);
    return PostMessageA(main, WM_COMMAND, IDM_EXIT, 0) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    bool understood = argc > 1;
    for (int i = 1; i < argc && understood; ++i) {
        understood = IsOption(argv[i], "--status") || IsOption(argv[i], "--panel") ||
                     IsOption(argv[i], "--reconnect") || IsOption(argv[i], "--restore") ||
                     IsOption(argv[i], "--about") || IsOption(argv[i], "--exit") ||
                     IsOption(argv[i], "--wait-start") || IsOption(argv[i], "--auto-reconnect") ||
                     IsOption(argv[i], "--toggle-auto-reconnect") || IsOption(argv[i], "--wait-ok");
    }
    if (!understood) {
        Say("%s", kUsage);
        return 2;
    }
    HWND main = MainWindow();
    if (main == nullptr) {
        Say("appwindow: no window of class %s\n", kMainClass);
        return 1;
    }
    bool ok = true;
    for (int i = 1; i < argc && ok; ++i) {
        const char* action = argv[i];
        if (IsOption(action, "--wait-start")) {
            ok = AwaitStart(main);
        } else if (IsOption(action, "--wait-ok")) {
            ok = AwaitOk(main);
        } else if (IsOption(action, "--status")) {
            ok = PrintStatus(main);
        } else if (IsOption(action, "--panel")) {
            ok = PrintPanel(main);
        } else if (IsOption(action, "--reconnect")) {
            ok = ChooseReconnect(main);
        } else if (IsOption(action, "--auto-reconnect")) {
            ok = PrintAutoReconnect();
        } else if (IsOption(action, "--toggle-auto-reconnect")) {
            ok = ToggleAutoReconnect(main);
        } else if (IsOption(action, "--restore")) {
            ok = Restore(main);
        } else if (IsOption(action, "--about")) {
            ok = OpenAbout(main);
        } else {
            ok = Exit(main);
        }
    }
    return ok ? 0 : 1;
}
