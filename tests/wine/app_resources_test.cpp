// Quorvane.exe's resources as Windows finds them in the built executable: loaded from the file
// as data, never read from the resource script.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/resource_ids.h"
#include "tests/wine/app_paths.h"
#include "tests/wine/stand_in_process.h"

namespace {

// Little-endian fields of a resource, read in order.
class ResourceReader {
  public:
    ResourceReader(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    std::uint16_t Word() { return Take<std::uint16_t>(); }
    std::uint32_t DWord() { return Take<std::uint32_t>(); }
    std::uint8_t Byte() { return Take<std::uint8_t>(); }

    // A zero-terminated UTF-16 string.
    std::wstring String() {
        std::wstring text;
        for (std::uint16_t c = Word(); c != 0 && ok_; c = Word()) text += static_cast<wchar_t>(c);
        return text;
    }

    // A string, or 0xFFFF and an ordinal (given as "#n"), or 0 for none.
    std::wstring StringOrOrdinal() {
        const std::size_t start = at_;
        if (Word() == 0xFFFF) return L"#" + std::to_wstring(Word());
        at_ = start;
        return String();
    }

    void AlignToDWord() { at_ = (at_ + 3) & ~std::size_t{3}; }
    void Skip(std::size_t count) { at_ += count; }
    bool Ok() const { return ok_ && at_ <= size_; }

  private:
    template <typename T>
    T Take() {
        T value{};
        if (at_ + sizeof value > size_) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, bytes_ + at_, sizeof value);
        at_ += sizeof value;
        return value;
    }

    const std::uint8_t* bytes_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

struct DialogControl {
    std::uint32_t style;
    std::int16_t x, y, cx, cy;
    std::uint32_t id;
    std::wstring windowClass;  // "#130" is a static, "#128" a button
    std::wstring title;        // text, or "#n" for an icon's resource id
};

struct DialogTemplate {
    std::uint32_t style;
    std::int16_t cx, cy;
    std::wstring caption;
    std::uint16_t pointSize;
    std::wstring typeface;
    std::vector<DialogControl> controls;
};

// An extended dialog template (DLGTEMPLATEEX), as the resource compiler writes it.
bool ParseDialog(ResourceReader& in, DialogTemplate& dialog) {
    if (in.Word() != 1 || in.Word() != 0xFFFF) return false;  // version 1, extended
    in.Skip(8);                                               // help id, extended style
    dialog.style = in.DWord();
    const std::uint16_t controlCount = in.Word();
    in.Skip(4);  // x, y
    dialog.cx = static_cast<std::int16_t>(in.Word());
    dialog.cy = static_cast<std::int16_t>(in.Word());
    in.StringOrOrdinal();  // menu
    in.StringOrOrdinal();  // class
    dialog.caption = in.String();
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = in.Word();
        in.Skip(4);  // weight, italic, character set
        dialog.typeface = in.String();
    }
    for (std::uint16_t i = 0; i < controlCount && in.Ok(); ++i) {
        DialogControl control{};
        in.AlignToDWord();
        in.Skip(8);  // help id, extended style
        control.style = in.DWord();
        control.x = static_cast<std::int16_t>(in.Word());
        control.y = static_cast<std::int16_t>(in.Word());
        control.cx = static_cast<std::int16_t>(in.Word());
        control.cy = static_cast<std::int16_t>(in.Word());
        control.id = in.DWord();
        control.windowClass = in.StringOrOrdinal();
        control.title = in.StringOrOrdinal();
        in.Skip(in.Word());  // creation data
        dialog.controls.push_back(control);
    }
    return in.Ok();
}

// Resource enumeration callbacks that count each language of each name of a type.
BOOL CALLBACK CountLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD, LONG_PTR count) {
    ++*reinterpret_cast<unsigned*>(count);
    return TRUE;
}

BOOL CALLBACK CountLanguagesOfName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR count) {
    return EnumResourceLanguagesW(module, type, name, CountLanguage, count);
}

class QuorvaneResources : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        module_ = LoadLibraryExW(kQuorvaneExe, nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() { FreeLibrary(module_); }

    void SetUp() override { ASSERT_NE(module_, nullptr) << "cannot load " << kQuorvaneExe; }

    // The bytes of one resource; empty when it is missing.
    static std::pair<const std::uint8_t*, std::size_t> Resource(WORD id, LPCWSTR type) {
        HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
        if (found == nullptr) return {nullptr, 0};
        return {static_cast<const std::uint8_t*>(LockResource(LoadResource(module_, found))),
                SizeofResource(module_, found)};
    }

    static std::wstring String(UINT id) {
        wchar_t text[APP_TEXT_LENGTH] = L"";
        LoadStringW(module_, id, text, APP_TEXT_LENGTH);
        return text;
    }

    static std::wstring MenuText(HMENU menu, UINT position) {
        wchar_t text[64] = L"";
        GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
        return text;
    }

    static HMODULE module_;
};

HMODULE QuorvaneResources::module_;

TEST_F(QuorvaneResources, TitleAndClassNameStrings) {
    EXPECT_EQ(String(IDS_APP_TITLE), L"Quorvane");
    EXPECT_EQ(String(IDS_CLASS_NAME), L"QUORVANE");
}

TEST_F(QuorvaneResources, MenuHasFileReconnectAndExitAndHelpAbout) {
    HMENU menu = LoadMenuW(module_, MAKEINTRESOURCEW(IDC_QUORVANE));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    EXPECT_EQ(MenuText(menu, 0), L"&File");
    EXPECT_EQ(MenuText(menu, 1), L"&Help");

    struct Item {
        int menu;
        const wchar_t* text;
        UINT id;
        UINT state;  // grayed or checked as the resource has it
    };
    const Item items[] = {
        {0, L"&Reconnect\tF5", IDM_RECONNECT, MF_GRAYED},
        {0, L"Reconnect &automatically", IDM_RECONNECT_AUTOMATICALLY, 0},
        {0, L"E&xit", IDM_EXIT, 0},
        {1, L"Open &Log Folder", IDM_OPEN_LOG_FOLDER, 0},
        {1, L"&About ...", IDM_ABOUT, 0},
    };
    int positions[2] = {};
    for (const Item& item : items) {
        HMENU popup = GetSubMenu(menu, item.menu);
        const int position = positions[item.menu]++;
        EXPECT_EQ(MenuText(popup, position), item.text);
        EXPECT_EQ(GetMenuItemID(popup, position), item.id);
        EXPECT_EQ(GetMenuState(popup, position, MF_BYPOSITION) & (MF_GRAYED | MF_CHECKED),
                  item.state);
    }
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 0)), positions[0]);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 1)), positions[1]);
    DestroyMenu(menu);
}

TEST_F(QuorvaneResources, AltQuestionMarkAndAltSlashOpenTheAboutBoxAndF5Reconnects) {
    HACCEL table = LoadAcceleratorsW(module_, MAKEINTRESOURCEW(IDC_QUORVANE));
    ASSERT_NE(table, nullptr);
    ACCEL entries[4]{};
    ASSERT_EQ(CopyAcceleratorTableW(table, entries, 4), 3);
    std::set<WORD> keys;
    for (const ACCEL& entry : entries) {
        if (entry.cmd == 0) continue;
        if (entry.cmd == IDM_RECONNECT) {
            EXPECT_EQ(entry.key, VK_F5);
            EXPECT_EQ(entry.fVirt & (FALT | FVIRTKEY | FCONTROL | FSHIFT), FVIRTKEY);
            continue;
        }
        EXPECT_EQ(entry.cmd, IDM_ABOUT);
        // Characters with Alt, not virtual keys: whatever keys type them on the user's layout.
        EXPECT_EQ(entry.fVirt & (FALT | FVIRTKEY | FCONTROL | FSHIFT), FALT) << entry.key;
        keys.insert(entry.key);
    }
    EXPECT_EQ(keys, (std::set<WORD>{L'?', L'/'}));
}

TEST_F(QuorvaneResources, AboutBoxTemplate) {
    auto [bytes, size] = Resource(IDD_ABOUTBOX, RT_DIALOG);
    ASSERT_NE(bytes, nullptr);
    ResourceReader in(bytes, size);
    DialogTemplate dialog{};
    ASSERT_TRUE(ParseDialog(in, dialog));

    EXPECT_EQ(dialog.caption, L"About Quorvane");
    EXPECT_EQ(dialog.cx, 170);
    EXPECT_EQ(dialog.cy, 62);
    const DWORD frame = DS_MODALFRAME | WS_CAPTION | WS_SYSMENU;
    EXPECT_EQ(dialog.style & frame, frame);
    EXPECT_EQ(dialog.style & (WS_THICKFRAME | WS_CHILD), 0u);
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.typeface, L"MS Shell Dlg");

    ASSERT_EQ(dialog.controls.size(), 4u);
    const DialogControl& icon = dialog.controls[0];
    EXPECT_EQ(icon.windowClass, L"#130");
    EXPECT_EQ(icon.style & SS_TYPEMASK, static_cast<DWORD>(SS_ICON));
    EXPECT_EQ(icon.title, L"#128");
    EXPECT_EQ(icon.x, 14);
    EXPECT_EQ(icon.y, 14);

    const DialogControl& version = dialog.controls[1];
    EXPECT_EQ(version.title, L"Quorvane, Version 1.0");
    const DialogControl& second = dialog.controls[2];
    EXPECT_FALSE(second.title.empty());
    for (const DialogControl* line : {&version, &second}) {
        EXPECT_EQ(line->windowClass, L"#130");
        EXPECT_EQ(line->style & SS_TYPEMASK, static_cast<DWORD>(SS_LEFT));
        EXPECT_EQ(line->x, 42);
        EXPECT_EQ(line->cx, 114);
        EXPECT_EQ(line->cy, 8);
    }
    EXPECT_EQ(version.y, 14);
    EXPECT_EQ(second.y, 26);

    const DialogControl& ok = dialog.controls[3];
    EXPECT_EQ(ok.windowClass, L"#128");
    EXPECT_EQ(ok.title, L"OK");
    EXPECT_EQ(ok.id, static_cast<std::uint32_t>(IDOK));
    EXPECT_EQ(ok.style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
    EXPECT_EQ((std::vector<int>{ok.x, ok.y, ok.cx, ok.cy}), (std::vector<int>{113, 41, 50, 14}));
}

// The icon groups (the program's two and the NOT OK mark) hold the same eight images: width and
// colour depth of each, and every image one that Windows can turn into an icon of that size.
TEST_F(QuorvaneResources, IconGroupsHoldEightImages) {
    const std::multiset<std::pair<int, int>> expected{{32, 4}, {16, 4},  {48, 8},  {32, 8},
                                                      {16, 8}, {48, 32}, {32, 32}, {16, 32}};
    for (WORD group : {IDI_QUORVANE, IDI_SMALL, IDI_NOT_OK}) {
        SCOPED_TRACE(group);
        auto [bytes, size] = Resource(group, RT_GROUP_ICON);
        ASSERT_NE(bytes, nullptr);
        ResourceReader in(bytes, size);
        in.Skip(2);
        ASSERT_EQ(in.Word(), 1);  // icons, not cursors
        const std::uint16_t count = in.Word();
        std::multiset<std::pair<int, int>> found;
        for (std::uint16_t i = 0; i < count; ++i) {
            const int width = in.Byte();
            const int height = in.Byte();
            in.Skip(4);  // colour count, reserved, planes
            const int bits = in.Word();
            in.Skip(4);  // bytes
            const WORD imageId = in.Word();
            ASSERT_TRUE(in.Ok());
            EXPECT_EQ(width, height);
            found.insert({width, bits});

            auto [image, imageSize] = Resource(imageId, RT_ICON);
            ASSERT_NE(image, nullptr) << imageId;
            BITMAPINFOHEADER header{};
            ASSERT_GE(imageSize, sizeof header);
            std::memcpy(&header, image, sizeof header);
            EXPECT_EQ(header.biWidth, width);
            EXPECT_EQ(header.biHeight, 2 * height);  // colour and mask
            EXPECT_EQ(header.biBitCount, bits);

            HICON icon = CreateIconFromResourceEx(const_cast<BYTE*>(image), imageSize, TRUE,
                                                  0x00030000, width, height, LR_DEFAULTCOLOR);
            EXPECT_NE(icon, nullptr) << width << " px, " << bits << " bits";
            if (icon != nullptr) DestroyIcon(icon);
        }
        EXPECT_EQ(found, expected);
    }
}

TEST_F(QuorvaneResources, ManifestAsksForInvokerRightsAndNamesItsWindows) {
    auto [bytes, size] = Resource(1, RT_MANIFEST);
    ASSERT_NE(bytes, nullptr);
    const std::string manifest(reinterpret_cast<const char*>(bytes), size);
    EXPECT_NE(manifest.find(R"(level="asInvoker")"), std::string::npos) << manifest;
    EXPECT_NE(manifest.find(R"(uiAccess="false")"), std::string::npos) << manifest;
    // Windows 10 and 11, 8.1, 8 and 7: without them Windows treats the program as Vista's.
    for (const char* os : {"8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                           "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "35138b9a-5d96-4fbd-8e2d-a2440225f93a"}) {
        EXPECT_NE(manifest.find(std::string(R"(<supportedOS Id="{)") + os + "}\"/>"),
                  std::string::npos)
            << os;
    }
}

// Ours only: a linker may add a manifest of its own beside it, under another name or language.
TEST_F(QuorvaneResources, ManifestIsEmbeddedOnce) {
    unsigned manifests = 0;
    EnumResourceNamesW(module_, RT_MANIFEST, CountLanguagesOfName,
                       reinterpret_cast<LONG_PTR>(&manifests));
    EXPECT_EQ(manifests, 1u);
}

// A string of a program's papers, in the language and code page its Translation names.
std::wstring VersionString(const std::vector<std::uint8_t>& papers, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(papers.data(), path.c_str(), &value, &length)) return L"<none>";
    return static_cast<const wchar_t*>(value);
}

// What Explorer's Properties shows of both programs: the version CMakeLists.txt gives, in
// numbers and in words.
TEST(ProgramPapers, CarryTheProjectVersion) {
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::swscanf(QUORVANE_VERSION, L"%u.%u.%u", &major, &minor, &patch), 3);
    const std::string directory = ExecutableDirectory();
    const std::wstring monitor = std::wstring(directory.begin(), directory.end()) + L"monitor.exe";
    const std::tuple<std::wstring, const wchar_t*, const wchar_t*> programs[] = {
        {kQuorvaneExePath, L"Quorvane.exe", L"Quorvane"}, {monitor, L"monitor.exe", L"monitor"}};
    for (const auto& [path, originalName, internalName] : programs) {
        SCOPED_TRACE(originalName);
        std::vector<std::uint8_t> papers(GetFileVersionInfoSizeW(path.c_str(), nullptr));
        ASSERT_FALSE(papers.empty());
        ASSERT_TRUE(
            GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(papers.size()), papers.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(
            VerQueryValueW(papers.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        EXPECT_EQ(fixed->dwFileVersionMS, major << 16 | minor);
        EXPECT_EQ(fixed->dwFileVersionLS, patch << 16);
        EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
        EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
        EXPECT_EQ(VersionString(papers, L"FileVersion"), QUORVANE_VERSION);
        EXPECT_EQ(VersionString(papers, L"ProductVersion"), QUORVANE_VERSION);
        EXPECT_EQ(VersionString(papers, L"OriginalFilename"), originalName);
        EXPECT_EQ(VersionString(papers, L"InternalName"), internalName);
        EXPECT_EQ(VersionString(papers, L"CompanyName"), L"the Quorvane developers");
        EXPECT_EQ(VersionString(papers, L"ProductName"), L"Quorvane");
        EXPECT_EQ(VersionString(papers, L"LegalCopyright").rfind(L"Copyright (c) ", 0), 0u);
        EXPECT_NE(VersionString(papers, L"FileDescription").find(L"Quorvane"), std::wstring::npos);
    }
}

}  // namespace
