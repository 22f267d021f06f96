// Top-level windows by class, registered window messages and global atoms.
#include <algorithm>
#include <cstring>

#include "tests/fake_win32/world.h"

namespace fake {
namespace detail {

bool WindowIsLive(HWND window) {
    return FindLiveWindow(window) != nullptr;
}

Window* FindLiveWindow(HWND window) {
    auto& windows = TheWorld().windows;
    const auto found = std::find_if(windows.begin(), windows.end(),
                                    [window](const Window& w) { return w.handle == window; });
    return found == windows.end() ? nullptr : &*found;
}

namespace {

// Atom names are at most 255 characters, as on Windows.
constexpr std::size_t kMaxAtomName = 255;
constexpr unsigned kFirstAtom = 0xC000;
constexpr unsigned kLastAtom = 0xFFFF;

// The lowest atom value not in use: values are reused once deleted, as Windows does.
ATOM FreeAtom() {
    const auto& atoms = TheWorld().atoms;
    for (unsigned value = kFirstAtom; value <= kLastAtom; ++value) {
        if (atoms.find(static_cast<ATOM>(value)) == atoms.end()) return static_cast<ATOM>(value);
    }
    return 0;
}

}  // namespace
}  // namespace detail

using detail::TheWorld;

HWND AddWindow(std::string_view className) {
    detail::World& world = TheWorld();
    const HWND handle = reinterpret_cast<HWND>(world.nextWindow);
    world.nextWindow += 0x10;
    world.windows.push_back({handle, std::string(className), false, 0});
    return handle;
}

void RemoveWindow(HWND window) {
    auto& windows = TheWorld().windows;
    std::erase_if(windows, [window](const detail::Window& w) { return w.handle == window; });
    if (TheWorld().foreground == window) TheWorld().foreground = nullptr;
}

void SetIconic(HWND window, bool iconic) {
    if (detail::Window* found = detail::FindLiveWindow(window)) found->iconic = iconic;
}

int LastShowCommand(HWND window) {
    const detail::Window* found = detail::FindLiveWindow(window);
    return found == nullptr ? 0 : found->shownWith;
}

HWND ForegroundWindow() {
    return TheWorld().foreground;
}

UINT RegisteredMessage(std::string_view name) {
    for (const detail::RegisteredName& message : TheWorld().messages) {
        if (detail::EqualsIgnoringCase(message.name, name)) return message.id;
    }
    return 0;
}

ATOM FindAtom(std::string_view name) {
    for (const auto& [atom, entry] : TheWorld().atoms) {
        if (detail::EqualsIgnoringCase(entry.name, name)) return atom;
    }
    return 0;
}

std::string_view AtomName(ATOM atom) {
    const auto& atoms = TheWorld().atoms;
    const auto found = atoms.find(atom);
    return found == atoms.end() ? std::string_view() : std::string_view(found->second.name);
}

unsigned AtomReferences(ATOM atom) {
    const auto& atoms = TheWorld().atoms;
    const auto found = atoms.find(atom);
    return found == atoms.end() ? 0 : found->second.references;
}

unsigned LiveAtomCount() {
    return static_cast<unsigned>(TheWorld().atoms.size());
}

}  // namespace fake

using fake::Call;
using fake::detail::EnterCall;
using fake::detail::TheWorld;

// Only top-level windows exist and titles are not modelled: a window name other than null
// matches nothing.
HWND WINAPI FindWindowExA(HWND parent, HWND childAfter, LPCSTR className, LPCSTR windowName) {
    if (EnterCall(Call::FindWindowExA)) return nullptr;
    if (parent != nullptr || windowName != nullptr) return nullptr;
    bool searching = childAfter == nullptr;
    for (const fake::detail::Window& window : TheWorld().windows) {
        if (!searching) {
            searching = window.handle == childAfter;
            continue;
        }
        if (className == nullptr || fake::detail::EqualsIgnoringCase(window.className, className)) {
            return window.handle;
        }
    }
    return nullptr;
}

// Class names are ASCII here, so each wide character stands for one narrow one.
HWND WINAPI FindWindowW(LPCWSTR className, LPCWSTR windowName) {
    if (EnterCall(Call::FindWindowW)) return nullptr;
    if (className == nullptr || windowName != nullptr) return nullptr;
    std::string narrow;
    for (const wchar_t* c = className; *c != L'\0'; ++c) narrow += static_cast<char>(*c);
    for (const fake::detail::Window& window : TheWorld().windows) {
        if (fake::detail::EqualsIgnoringCase(window.className, narrow)) return window.handle;
    }
    return nullptr;
}

BOOL WINAPI IsIconic(HWND window) {
    const fake::detail::Window* found = fake::detail::FindLiveWindow(window);
    return found != nullptr && found->iconic;
}

BOOL WINAPI ShowWindowAsync(HWND window, int command) {
    if (EnterCall(Call::ShowWindowAsync)) return 0;
    fake::detail::Window* found = fake::detail::FindLiveWindow(window);
    if (found == nullptr) {
        TheWorld().lastError = fake::detail::kErrorInvalidWindowHandle;
        return 0;
    }
    found->shownWith = command;
    if (command == SW_RESTORE || command == SW_SHOW) found->iconic = false;
    return 1;
}

// A scripted failure stands for Windows' foreground lock: the window stays behind and its
// taskbar button flashes.
BOOL WINAPI SetForegroundWindow(HWND window) {
    if (EnterCall(Call::SetForegroundWindow)) return 0;
    if (!fake::detail::WindowIsLive(window)) return 0;
    TheWorld().foreground = window;
    return 1;
}

UINT WINAPI RegisterWindowMessageA(LPCSTR name) {
    if (EnterCall(Call::RegisterWindowMessageA)) return 0;
    if (name == nullptr || name[0] == '\0') {
        TheWorld().lastError = fake::detail::kErrorInvalidParameter;
        return 0;
    }
    if (const UINT known = fake::RegisteredMessage(name); known != 0) return known;
    fake::detail::World& world = TheWorld();
    const UINT id = world.nextMessage++;
    world.messages.push_back({name, id});
    return id;
}

ATOM WINAPI GlobalAddAtomA(LPCSTR name) {
    if (EnterCall(Call::GlobalAddAtomA)) return 0;
    fake::detail::World& world = TheWorld();
    if (name == nullptr || name[0] == '\0' || std::strlen(name) > fake::detail::kMaxAtomName) {
        world.lastError = fake::detail::kErrorInvalidParameter;
        return 0;
    }
    if (const ATOM known = fake::FindAtom(name); known != 0) {
        ++world.atoms[known].references;
        return known;
    }
    const ATOM atom = fake::detail::FreeAtom();
    if (atom == 0) {
        world.lastError = ERROR_NOT_ENOUGH_MEMORY;
        return 0;
    }
    world.atoms[atom] = {name, 1};
    return atom;
}

// Zero on success; the atom itself when it could not be deleted.
ATOM WINAPI GlobalDeleteAtom(ATOM atom) {
    if (EnterCall(Call::GlobalDeleteAtom)) return atom;
    auto& atoms = TheWorld().atoms;
    const auto found = atoms.find(atom);
    if (found == atoms.end()) {
        TheWorld().lastError = ERROR_INVALID_HANDLE;
        return atom;
    }
    if (--found->second.references == 0) atoms.erase(found);
    return 0;
}
