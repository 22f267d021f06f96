// Quorvane.exe's panel, read with WM_GETTEXT as any program reads it, and File > Reconnect
// chosen from outside as a person chooses it. Each test walks through several states in one
// Quorvane process, since every start of it or of a stand-in costs about a second under Wine.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <vector>

#include "app/resource_ids.h"
#include "tests/wine/app_process.h"
#include "tests/wine/stand_in_fixture.h"
#include "tools/kit-addon/addon_blocks.h"

namespace {

constexpr DWORD kStartTimeoutMs = 15000;  // LOADING's two seconds, a handshake and a margin
constexpr DWORD kPanelTimeoutMs = 3000;   // the lines follow a few times a second
constexpr std::uint32_t kReconnects = 20;
constexpr std::uint32_t kFirstExport = 0x9402;  // the bridge block after the mailbox,
constexpr std::size_t kExportSize = 0xEE;       // up to the encoder counters

class QuorvanePanel : public StandInTest {
  protected:
    std::wstring Line(int id) const { return quorvane_.PanelLine(id); }

    // Whether the three lines come to begin with these words.
    ::testing::AssertionResult PanelShows(const wchar_t* module, const wchar_t* addon,
                                          const wchar_t* bridge) const {
        const int ids[] = {IDC_PANEL_MODULE, IDC_PANEL_ADDON, IDC_PANEL_BRIDGE};
        const wchar_t* starts[] = {module, addon, bridge};
        std::wstring lines[3];
        const bool shown = WaitUntil(
            [&] {
                bool all = true;
                for (int i = 0; i < 3; ++i) {
                    lines[i] = Line(ids[i]);
                    all = all && lines[i].rfind(starts[i], 0) == 0;
                }
                return all;
            },
            kPanelTimeoutMs);
        if (shown) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the panel shows:\n"
                                             << Narrow(lines[0]) << "\n"
                                             << Narrow(lines[1]) << "\n"
                                             << Narrow(lines[2]);
    }

    // The first number on the bridge's line: the cycles run.
    std::uint64_t CyclesShown() const {
        const std::wstring line = Line(IDC_PANEL_BRIDGE);
        const std::size_t digit = line.find_first_of(L"0123456789");
        return digit == std::wstring::npos ? 0 : std::wcstoull(line.c_str() + digit, nullptr, 10);
    }

    bool CyclesRise() const {
        const std::uint64_t start = CyclesShown();
        return WaitUntil([&] { return CyclesShown() > start; }, kPanelTimeoutMs);
    }

    // File > Reconnect; sent, so that it returns once Quorvane has carried it out.
    void ChooseReconnect() const {
        DWORD_PTR result = 0;
        ASSERT_NE(SendMessageTimeoutW(quorvane_.window(), WM_COMMAND, IDM_RECONNECT, 0, SMTO_BLOCK,
                                      30000, &result),
                  0);
    }

    // F5 pressed in its window, restored first: a keystroke that only the accelerators turn into a
    // command, and only while the menu offers it and the window is not minimised.
    void PressF5() const {
        ShowWindow(quorvane_.window(), SW_RESTORE);
        const LPARAM scanCode = static_cast<LPARAM>(MapVirtualKeyW(VK_F5, MAPVK_VK_TO_VSC)) << 16;
        PostMessageW(quorvane_.window(), WM_KEYDOWN, VK_F5, scanCode | 1);
        PostMessageW(quorvane_.window(), WM_KEYUP, VK_F5, scanCode | 0xC0000001);
    }

    // How often the bridge's line changes in a second, read as fast as it answers.
    std::size_t BridgeLineChangesInASecond() const {
        std::size_t changes = 0;
        std::wstring shown = Line(IDC_PANEL_BRIDGE);
        for (const ULONGLONG end = GetTickCount64() + 1000; GetTickCount64() < end; Sleep(1)) {
            const std::wstring now = Line(IDC_PANEL_BRIDGE);
            changes += now != shown;
            shown = now;
        }
        return changes;
    }

    bool BridgeLineSays(const wchar_t* words) const {
        return WaitUntil([&] { return Line(IDC_PANEL_BRIDGE).find(words) != std::wstring::npos; },
                         kPanelTimeoutMs);
    }

    std::vector<std::uint8_t> Exported() const {
        std::vector<std::uint8_t> bytes(kExportSize);
        ReadOffsets(offsets_, kFirstExport, bytes.data(), bytes.size());
        return bytes;
    }

    bool ExchangesArrive(std::uint32_t count) const {
        const std::uint32_t start = ExchangeCount(offsets_);
        return WaitUntil([&] { return ExchangeCount(offsets_) >= start + count; }, 5000);
    }

    // Every 32-bit field 1: digits, lamps and integers that show, doubles that are not zero.
    static void FillState(HANDLE stateBlock) {
        auto* state = static_cast<std::uint8_t*>(
            MapViewOfFile(stateBlock, FILE_MAP_WRITE, 0, 0, kStateBlockSize));
        ASSERT_NE(state, nullptr);
        const std::int32_t one = 1;
        for (std::size_t at = 0; at < kStateBlockSize; at += sizeof one) {
            std::memcpy(state + at, &one, sizeof one);
        }
        UnmapViewOfFile(state);
    }

    static std::string Narrow(const std::wstring& text) { return {text.begin(), text.end()}; }

    QuorvaneProcess quorvane_;
};

// No module, then a module without add-on, then an add-on without its command block: each
// reconnect gives back the link it opened for nothing, and one while running does nothing.
TEST_F(QuorvanePanel, SaysWhatIsMissingUntilAReconnectFindsBothSides) {
    ASSERT_TRUE(quorvane_.Start());
    ASSERT_TRUE(quorvane_.WaitForWindow());
    EXPECT_TRUE(PanelShows(L"Simulator module: not connected", L"Add-on: not looked for",
                           L"Bridge: not started"));
    EXPECT_TRUE(quorvane_.ReconnectOffered());

    // Every line changes twice (the connect announced, then its outcome): the panel is laid out
    // once for each, the window sized once at the most, and no line left over another.
    ASSERT_TRUE(StartModule());
    const std::uint32_t resizes = quorvane_.Resizes();
    ASSERT_NO_FATAL_FAILURE(ChooseReconnect());
    EXPECT_LE(quorvane_.Resizes() - resizes, 2u);
    EXPECT_EQ(quorvane_.StatusText(), L"Status: NOT OK");
    EXPECT_TRUE(
        PanelShows(L"Simulator module: connected", L"Add-on: not found", L"Bridge: not started"));
    const PanelMeasure panel = quorvane_.MeasurePanel();
    for (int i = 0; i < 3; ++i) {
        const RECT& place = panel.lines[i].rect;
        EXPECT_GE(place.bottom - place.top, panel.lines[i].textHeight) << "line " << i;
        if (i < 2) {
            EXPECT_LE(place.bottom, panel.lines[i + 1].rect.top) << "line " << i;
        }
    }
    for (std::uint32_t i = 0; i < kReconnects; ++i) ASSERT_NO_FATAL_FAILURE(ChooseReconnect());
    for (std::uint32_t open = 1; open <= kReconnects; ++open) {
        EXPECT_FALSE(quorvane_.BufferNameHeld(open)) << "link " << open;
    }
    const std::uint32_t lastOpen = kReconnects + 1;
    EXPECT_TRUE(quorvane_.BufferNameHeld(lastOpen));

    const HANDLE stateOnly = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                kStateBlockSize, kStateMappingName);
    ASSERT_NE(stateOnly, nullptr);
    const std::size_t traced = quorvane_.Trace().size();
    ASSERT_NO_FATAL_FAILURE(ChooseReconnect());
    ASSERT_TRUE(quorvane_.WaitForTraceLength(traced + 2, kStartTimeoutMs));
    EXPECT_EQ(quorvane_.Trace()[traced].text, L"Status: LOADING");
    EXPECT_EQ(quorvane_.Trace()[traced + 1].text, L"Status: OK");
    EXPECT_FALSE(quorvane_.BufferNameHeld(lastOpen));
    EXPECT_TRUE(PanelShows(L"Simulator module: connected",
                           L"Add-on: connected without its command block", L"Bridge: running"));
    EXPECT_TRUE(CyclesRise());
    EXPECT_FALSE(quorvane_.ReconnectOffered());
    const std::size_t changes = BridgeLineChangesInASecond();
    EXPECT_GE(changes, 2u);
    EXPECT_LE(changes, 5u) << "more than four times a second";

    // While running: no LOADING, no second link, the cycles go on.
    ASSERT_NO_FATAL_FAILURE(ChooseReconnect());
    EXPECT_FALSE(quorvane_.BufferNameHeld(lastOpen + 2)) << "a second link";
    EXPECT_TRUE(quorvane_.BufferNameHeld(lastOpen + 1));
    EXPECT_TRUE(CyclesRise());
    EXPECT_EQ(quorvane_.Trace().size(), traced + 2);
    EXPECT_EQ(quorvane_.StatusText(), L"Status: OK");
    CloseHandle(stateOnly);
}

// The add-on started after Quorvane, then the module ended and started afresh: each time File >
// Reconnect brings "Status: OK", and the new module gets every value of the add-on's state, not
// only what changed since the old one got it.
TEST_F(QuorvanePanel, ReconnectsToALateAddonAndToAModuleStartedAgain) {
    ASSERT_TRUE(StartModule());
    ASSERT_TRUE(quorvane_.Start());
    ASSERT_TRUE(quorvane_.WaitForWindow());
    EXPECT_TRUE(
        PanelShows(L"Simulator module: connected", L"Add-on: not found", L"Bridge: not started"));
    ASSERT_TRUE(StartAddon("--script"));
    ASSERT_NO_FATAL_FAILURE(ChooseReconnect());
    EXPECT_EQ(quorvane_.StatusText(), L"Status: OK");
    EXPECT_TRUE(
        PanelShows(L"Simulator module: connected", L"Add-on: connected.", L"Bridge: running"));
    // The count follows each code the module takes, "command" in the singular for one only.
    for (const std::int16_t code : {12, 34}) {
        WriteOffsets(offsets_, 0x9400, &code, sizeof code);
        const std::wstring last = L" forwarded, the last " + std::to_wstring(code) + L" with 0.";
        ASSERT_TRUE(BridgeLineSays(last.c_str()));
        const std::wstring line = Line(IDC_PANEL_BRIDGE);
        const std::size_t count = line.find(L" cycles, ") + 9;
        const bool one = std::wcstoull(line.c_str() + count, nullptr, 10) == 1;
        EXPECT_NE(line.find(one ? L" 1 command forwarded" : L" commands forwarded"),
                  std::wstring::npos)
            << Narrow(line);
    }

    // The add-on's state held still, with a value in every field: this process keeps the
    // blocks and fills the state once the add-on has ended.
    const HANDLE blocks[] = {OpenFileMappingW(FILE_MAP_WRITE, FALSE, kStateMappingName),
                             OpenFileMappingW(FILE_MAP_READ, FALSE, kCommandMappingName)};
    ASSERT_NE(blocks[0], nullptr);
    addon_.Stop();
    ASSERT_NO_FATAL_FAILURE(FillState(blocks[0]));
    ASSERT_TRUE(ExchangesArrive(20));
    const std::vector<std::uint8_t> exported = Exported();
    EXPECT_GT(std::count_if(exported.begin(), exported.end(), [](auto byte) { return byte != 0; }),
              40)
        << "too few values to tell a full export from a partial one";

    CloseOffsetsView(offsets_);  // else the old module's space would outlive it
    module_.Stop();
    EXPECT_TRUE(WaitUntil([&] { return quorvane_.StatusText() == L"Status: NOT OK"; }, 5000));
    EXPECT_TRUE(PanelShows(L"Simulator module: lost", L"Add-on: connected", L"Bridge: stopped"));
    // Told while minimised, the reason fits once the window is restored.
    ShowWindow(quorvane_.window(), SW_RESTORE);
    EXPECT_TRUE(PanelFits(quorvane_.MeasurePanel()));
    // A reconnect while no module runs starts from the beginning again.
    ASSERT_NO_FATAL_FAILURE(ChooseReconnect());
    EXPECT_TRUE(PanelShows(L"Simulator module: not connected", L"Add-on: not looked for",
                           L"Bridge: not started"));

    ASSERT_TRUE(StartModule());
    ASSERT_EQ(Exported(), std::vector<std::uint8_t>(kExportSize)) << "a fresh module";
    EXPECT_TRUE(quorvane_.ReconnectOffered());
    PressF5();
    EXPECT_TRUE(
        WaitUntil([&] { return quorvane_.StatusText() == L"Status: OK"; }, kStartTimeoutMs));
    EXPECT_FALSE(quorvane_.ReconnectOffered());
    ASSERT_TRUE(ExchangesArrive(5));
    EXPECT_EQ(Exported(), exported);
    for (const HANDLE block : blocks) CloseHandle(block);
}

}  // namespace
