// The wallpaper changer, the preview and the screen saver as processes, Settings beside the
// changer, and pictures and a temporary folder whose names the ANSI code page cannot hold.
#include "app/WindowNames.h"
#include "resource.h"
#include "support/Fixtures.h"
#include "support/TestSupport.h"
#include "unit/WidePictures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

using namespace testing_support;

namespace {
const char kDesktop[] = "Control Panel\\Desktop";
const char kChanger[] = "Software\\Orvane Inc.\\Murlavo\\Changer";

// The first top-level window of the process with this title, waiting for it to appear.
HWND WaitForWindow(const ChildProcess& child, const char* title)
{
    HWND found = nullptr;
    PumpUntil(
        [&] {
            for (HWND hwnd : WindowsOfProcess(child.Id())) {
                char text[64] = "";
                ::GetWindowTextA(hwnd, text, sizeof text);
                if (std::strcmp(text, title) == 0) {
                    found = hwnd;
                    return true;
                }
            }
            return false;
        },
        15000);
    return found;
}

struct Bitmap {
    int width = 0, height = 0;
    std::string data;
    bool Read(const std::string& path)
    {
        data = ReadWholeFile(path);
        if (data.size() < 54 || data.compare(0, 2, "BM") != 0)
            return false;
        width = *reinterpret_cast<const int32_t*>(&data[18]);
        height = *reinterpret_cast<const int32_t*>(&data[22]);
        return data.size() == 54 + size_t(((width * 24 + 31) / 8) & ~3) * height;
    }
    const unsigned char* Pixel(int x, int y) const
    {
        return reinterpret_cast<const unsigned char*>(data.data()) + 54 + y * (((width * 24 + 31) / 8) & ~3) + 3 * x;
    }
};

class ShowRolesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ScratchDir("roles");
        ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Inc."));
        ::DeleteFileA(WallpaperFile().c_str());
        DeleteRegValue(HKEY_CURRENT_USER, kDesktop, "Wallpaper");
        DeleteRegValue(HKEY_CURRENT_USER, kDesktop, "TileWallpaper");
    }
    void TearDown() override
    {
        DeleteLibrary();
        DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Inc.");
    }
    std::string dir;
};

struct WallpaperCase {
    const char* name;
    int width, height;
    const char* tile;
    bool fit;
    int tolerance; // mean error per byte allowed (JPEG is lossy)
};
} // namespace

class WallpaperRoleTest : public ShowRolesTest, public ::testing::WithParamInterface<WallpaperCase> {};

TEST_P(WallpaperRoleTest, DoubleClickOnTheIconAppliesThePicture)
{
    const WallpaperCase& c = GetParam();
    std::string path = dir + "\\" + c.name;
    ASSERT_TRUE(WritePatternPicture(path, c.width, c.height, 5));
    ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(path, c.tile, 0, 0)}));
    SetChangerInt("FitToScreen", c.fit ? 1 : 0);
    // Changed a moment ago: the minute tick alone would not change anything for ten minutes.
    SetChangerInt("LastChange", static_cast<DWORD>(std::time(nullptr)));

    ChildProcess child;
    ASSERT_TRUE(child.Start(MurlavoExe(), "/v"));
    HWND hwnd = WaitForWindow(child, "Murlavo");
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    ::PostMessageA(hwnd, 0x700, 128, WM_LBUTTONDBLCLK);

    std::string wallpaper;
    ASSERT_TRUE(PumpUntil(
        [&] {
            return ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &wallpaper) && wallpaper == WallpaperFile();
        },
        20000))
        << wallpaper;
    std::string tile;
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kDesktop, "TileWallpaper", &tile));
    EXPECT_EQ(tile, c.tile);

    Bitmap bitmap;
    ASSERT_TRUE(bitmap.Read(WallpaperFile()));
    if (c.fit) {
        EXPECT_EQ(bitmap.width, ::GetSystemMetrics(SM_CXSCREEN));
        EXPECT_EQ(bitmap.height, ::GetSystemMetrics(SM_CYSCREEN));
    } else {
        ASSERT_EQ(bitmap.width, c.width);
        ASSERT_EQ(bitmap.height, c.height);
        // Exact for lossless files; JPEG only on average (the pattern is hard for it).
        double error = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                unsigned char bgr[3];
                PatternPixel(x, y, 5, bgr);
                for (int k = 0; k < 3; ++k)
                    error += std::abs(bitmap.Pixel(x, y)[k] - bgr[k]);
            }
        EXPECT_LE(error / (3.0 * c.width * c.height), c.tolerance) << c.name;
    }

    ::PostMessageA(hwnd, WM_CLOSE, 0, 0);
    DWORD code = 1;
    EXPECT_TRUE(child.WaitForExit(10000, &code));
    std::string temp;
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kChanger, "TempImage", &temp));
    EXPECT_EQ(temp, WallpaperFile());
}

INSTANTIATE_TEST_SUITE_P(Pictures, WallpaperRoleTest,
    ::testing::Values(WallpaperCase {"centred.bmp", 61, 43, "0", false, 0},
                      WallpaperCase {"tiled.bmp", 30, 20, "1", false, 0},
                      WallpaperCase {"fitted.bmp", 64, 48, "0", true, 0},
                      WallpaperCase {"photo.jpg", 64, 48, "0", false, 20},
                      WallpaperCase {"fitted.jpg", 50, 50, "1", true, 0},
                      WallpaperCase {"art.tga", 33, 17, "1", false, 0},
                      WallpaperCase {"fitted.tga", 20, 40, "0", true, 0}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (ch == '.')
                ch = '_';
        return name;
    });

TEST_F(ShowRolesTest, PreviewFillsItsParentAndEndsWithIt)
{
    // A plain parent that never paints over its children.
    WNDCLASSA wc {};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "MurlavoTestPreviewParent";
    ::RegisterClassA(&wc);
    HWND parent = ::CreateWindowExA(0, wc.lpszClassName, "display settings", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                                    100, 100, 152, 112, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(parent, nullptr);
    ChildProcess child;
    ASSERT_TRUE(child.Start(MurlavoExe(), "/p " + std::to_string(reinterpret_cast<INT_PTR>(parent))));
    HWND preview = nullptr;
    ASSERT_TRUE(PumpUntil(
        [&] { return (preview = ::GetWindow(parent, GW_CHILD)) != nullptr && ::IsWindowVisible(preview); }, 15000));
    RECT rect;
    ::GetWindowRect(preview, &rect);
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 100);
    EXPECT_EQ(rect.right - rect.left, 152);
    EXPECT_EQ(rect.bottom - rect.top, 112);
    EXPECT_EQ(::GetDlgCtrlID(preview), 1);

    // No pictures: the background colour with the logo somewhere on it.
    // Its painting is checked in-process: under Wine a child window of another process draws
    // nothing visible on the screen.
    ::DestroyWindow(parent);
    EXPECT_TRUE(child.WaitForExit(10000));
}

TEST_F(ShowRolesTest, SaverEndsOnAKeyPressNotOnARelease)
{
    ChildProcess child;
    ASSERT_TRUE(child.Start(MurlavoExe(), "/s"));
    HWND saver = WaitForWindow(child, "Wallpaper");
    ASSERT_NE(saver, nullptr);
    ::PostMessageA(saver, WM_KEYUP, 'X', 0xC0000001);
    EXPECT_FALSE(child.WaitForExit(500));
    ::PostMessageA(saver, WM_KEYDOWN, 'X', 1);
    EXPECT_TRUE(child.WaitForExit(10000));
}

TEST_F(ShowRolesTest, SaverEndsOnTheThirdNewPointerPosition)
{
    ChildProcess child;
    ASSERT_TRUE(child.Start(MurlavoExe(), "/s"));
    HWND saver = WaitForWindow(child, "Wallpaper");
    ASSERT_NE(saver, nullptr);
    PumpFor(200);
    // The saver covers the screen from (0, 0): the pointer's screen position is its client
    // position, the one the system reports first. Repeating it never counts.
    POINT at;
    ::GetCursorPos(&at);
    for (int i = 0; i < 5; ++i)
        ::PostMessageA(saver, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    ::PostMessageA(saver, WM_MOUSEMOVE, 0, MAKELPARAM(at.x + 1, at.y));
    ::PostMessageA(saver, WM_MOUSEMOVE, 0, MAKELPARAM(at.x + 2, at.y));
    EXPECT_FALSE(child.WaitForExit(500));
    ::PostMessageA(saver, WM_MOUSEMOVE, 0, MAKELPARAM(at.x + 3, at.y));
    EXPECT_TRUE(child.WaitForExit(10000));
}

TEST_F(ShowRolesTest, ASecondWallpaperChangerEndsAtOnceAndTheFirstGoesOn)
{
    std::string path = dir + "\\one.bmp";
    ASSERT_TRUE(WritePatternPicture(path, 20, 10, 1));
    ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(path)}));
    ChildProcess first;
    ASSERT_TRUE(first.Start(MurlavoExe(), "/v"));
    HWND hwnd = WaitForWindow(first, "Murlavo");
    ASSERT_NE(hwnd, nullptr);

    ChildProcess second;
    ASSERT_TRUE(second.Start(MurlavoExe(), "/v"));
    DWORD code = 1;
    ASSERT_TRUE(second.WaitForExit(20000, &code)) << "the second changer keeps running";
    EXPECT_EQ(code, 0u);
    // The other roles are not held back.
    ChildProcess password;
    ASSERT_TRUE(password.Start(MurlavoExe(), "/a 0"));
    EXPECT_TRUE(password.WaitForExit(20000));

    // The first one still works.
    ::PostMessageA(hwnd, 0x700, 128, WM_LBUTTONDBLCLK);
    std::string wallpaper;
    EXPECT_TRUE(PumpUntil(
        [&] { return ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &wallpaper) && wallpaper == WallpaperFile(); },
        20000));
    ::PostMessageA(hwnd, WM_CLOSE, 0, 0);
    ASSERT_TRUE(first.WaitForExit(10000));

    // Once it has ended, a changer starts again.
    ChildProcess third;
    ASSERT_TRUE(third.Start(MurlavoExe(), "/v"));
    HWND again = WaitForWindow(third, "Murlavo");
    ASSERT_NE(again, nullptr);
    ::PostMessageA(again, WM_CLOSE, 0, 0);
    EXPECT_TRUE(third.WaitForExit(10000));
}

namespace {
// Top-level windows of the Settings dialog's class, of any process.
int SettingsWindows()
{
    int count = 0;
    ::EnumWindows(
        [](HWND hwnd, LPARAM found) {
            char cls[64] = "";
            ::GetClassNameA(hwnd, cls, sizeof cls);
            if (std::strcmp(cls, kSettingsClassName) == 0)
                ++*reinterpret_cast<int*>(found);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

// Starts Settings on its own, which must end at once since another Settings is open.
void ExpectSecondSettingsEnds()
{
    ChildProcess second;
    ASSERT_TRUE(second.Start(MurlavoExe(), ""));
    DWORD code = 1;
    EXPECT_TRUE(second.WaitForExit(20000, &code)) << "a second Settings stays open";
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(SettingsWindows(), 1);
}
} // namespace

// One Settings dialog per session, whichever process shows it, and the OK of Settings run on
// its own reaches the running changer.
TEST_F(ShowRolesTest, SettingsRunsOncePerSessionAndItsOkReachesTheChanger)
{
    const std::string path = dir + "\\photo.bmp";
    ASSERT_TRUE(WritePatternPicture(path, 64, 48, 2));
    ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(path)}));
    SetChangerInt("FitToScreen", 0);
    SetChangerInt("LastChange", static_cast<DWORD>(std::time(nullptr)));
    ChildProcess changer;
    ASSERT_TRUE(changer.Start(MurlavoExe(), "/v"));
    HWND hwnd = WaitForWindow(changer, "Murlavo");
    ASSERT_NE(hwnd, nullptr);

    ChildProcess first;
    ASSERT_TRUE(first.Start(MurlavoExe(), ""));
    HWND dialog = WaitForWindow(first, "Murlavo Settings");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(dialog) != FALSE; }, 10000));
    // A second start brings the first back from the taskbar and ends.
    ::ShowWindow(dialog, SW_MINIMIZE);
    ASSERT_TRUE(::IsIconic(dialog));
    ExpectSecondSettingsEnds();
    EXPECT_TRUE(PumpUntil([&] { return !::IsIconic(dialog); }, 10000));
    // So does the changer's Settings command: it returns at once, without a dialog of its own.
    DWORD_PTR result = 0;
    EXPECT_NE(::SendMessageTimeoutA(hwnd, WM_COMMAND, ID_TRAY_SETTINGS, 0, SMTO_NORMAL, 10000, &result), 0);
    EXPECT_EQ(SettingsWindows(), 1);

    // Fit to screen, in the Options of the first, then OK.
    ::PostMessageA(dialog, WM_COMMAND, IDC_SETTINGS_OPTIONS, 0);
    HWND options = WaitForWindow(first, "Options");
    ASSERT_NE(options, nullptr);
    // Shown once its controls are filled.
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(options) != FALSE; }, 10000));
    ::SendMessageA(::GetDlgItem(options, IDC_FIT), BM_SETCHECK, BST_CHECKED, 0);
    ::PostMessageA(options, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(options); }, 10000));
    ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(first.WaitForExit(20000));
    // The changer has the news in its queue: its next wallpaper fills the screen.
    ::PostMessageA(hwnd, 0x700, 128, WM_LBUTTONDBLCLK);
    std::string wallpaper;
    ASSERT_TRUE(PumpUntil(
        [&] { return ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &wallpaper) && wallpaper == WallpaperFile(); },
        20000));
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.Read(WallpaperFile()));
    EXPECT_EQ(bitmap.width, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(bitmap.height, ::GetSystemMetrics(SM_CYSCREEN));

    // The changer's own Settings, from its icon's menu, is the session's one as well.
    ::PostMessageA(hwnd, WM_COMMAND, ID_TRAY_SETTINGS, 0);
    HWND menuDialog = WaitForWindow(changer, "Murlavo Settings");
    ASSERT_NE(menuDialog, nullptr);
    ExpectSecondSettingsEnds();
    ::PostMessageA(menuDialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(menuDialog); }, 10000));
    ::PostMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(changer.WaitForExit(10000));
}

namespace {
// A string value of the changer's key, read as a wide string.
std::string ChangerString(const wchar_t* name)
{
    HKEY key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, Wide(kChanger).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "(no key)";
    wchar_t buffer[1024] = L"";
    DWORD size = sizeof buffer - sizeof(wchar_t), type = 0;
    const LONG rc = ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_SZ ? Utf8(buffer, wcsnlen(buffer, size / sizeof(wchar_t))) : "(none)";
}

// Pictures in a folder named in Japanese with an emoji, one of them more than 300 characters
// deep, copied from plain ones the test wrote.
class ShowRolesNamesTest : public ShowRolesTest {
protected:
    void SetUp() override
    {
        ShowRolesTest::SetUp();
        ASSERT_TRUE(AnsiCodePageLacksTheNames()) << "the test needs an ANSI code page without these names";
        root = dir + "\\" + kJapaneseFolder;
        DeleteWideTree(root);
        ASSERT_TRUE(MakeWideFolder(root));
        const std::string deep = MakeDeepFolder(root, 300);
        ASSERT_FALSE(deep.empty());
        jpeg = root + "\\" + kSunsetName + ".jpg";
        bitmap = deep + "\\" + kRussianFolder + ".bmp";
        ASSERT_TRUE(WritePatternPicture(dir + "\\plain.jpg", 64, 48, 3));
        ASSERT_TRUE(WritePatternPicture(dir + "\\plain.bmp", 37, 21, 4));
        ASSERT_TRUE(CopyFileTo(dir + "\\plain.jpg", jpeg));
        ASSERT_TRUE(CopyFileTo(dir + "\\plain.bmp", bitmap));
    }
    void TearDown() override
    {
        ShowRolesTest::TearDown();
        DeleteWideTree(root);
    }
    std::string root, jpeg, bitmap;
};
} // namespace

// The changer started with TMP and TEMP naming such a folder makes each picture the wallpaper,
// and stores where its bitmap lies.
TEST_F(ShowRolesNamesTest, TheChangerAppliesPicturesOfAnyNameFromATemporaryFolderOfAnyName)
{
    const std::string temp = root + "\\" + kPolishFolder;
    ASSERT_TRUE(MakeWideFolder(temp));
    const std::string wallpaper = temp + "\\Murlavo Wallpaper.bmp";
    ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(jpeg), PictureRecord(bitmap, "1")}));
    SetChangerInt("Order", 1);
    SetChangerInt("FitToScreen", 0);
    SetChangerInt("LastChange", static_cast<DWORD>(std::time(nullptr)));

    ChildProcess child;
    {
        ScopedTempFolder scoped(temp); // the child's environment
        ASSERT_TRUE(child.Start(MurlavoExe(), "/v"));
    }
    HWND hwnd = WaitForWindow(child, "Murlavo");
    ASSERT_NE(hwnd, nullptr);
    struct Expected {
        int width, height;
        const char* tile;
    };
    for (const Expected& e : {Expected {64, 48, "0"}, Expected {37, 21, "1"}}) {
        DeleteRegValue(HKEY_CURRENT_USER, kDesktop, "Wallpaper");
        ::PostMessageW(hwnd, 0x700, 128, WM_LBUTTONDBLCLK);
        std::string applied;
        ASSERT_TRUE(PumpUntil([&] { return ReadDesktopWallpaper(&applied); }, 20000));
        EXPECT_EQ(applied, wallpaper);
        std::string tile;
        ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kDesktop, "TileWallpaper", &tile));
        EXPECT_EQ(tile, e.tile);
        Bitmap written;
        written.data = ReadFileBytes(wallpaper);
        ASSERT_GE(written.data.size(), 54u);
        written.width = *reinterpret_cast<const int32_t*>(&written.data[18]);
        written.height = *reinterpret_cast<const int32_t*>(&written.data[22]);
        EXPECT_EQ(written.width, e.width);
        EXPECT_EQ(written.height, e.height);
        if (e.width == 37) // the bitmap, exactly
            for (int y : {0, 20})
                for (int x : {0, 36}) {
                    unsigned char bgr[3];
                    PatternPixel(x, y, 4, bgr);
                    EXPECT_EQ(0, std::memcmp(written.Pixel(x, y), bgr, 3)) << x << "," << y;
                }
    }
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(child.WaitForExit(10000));
    EXPECT_EQ(ChangerString(L"TempImage"), wallpaper);
}

// The screen saver shows the deep picture on the screen.
TEST_F(ShowRolesNamesTest, TheSaverPlaysAPictureOfAnyNameAndDepth)
{
    ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(bitmap)}));
    ChildProcess child;
    ASSERT_TRUE(child.Start(MurlavoExe(), "/s"));
    HWND saver = WaitForWindow(child, "Wallpaper");
    ASSERT_NE(saver, nullptr);
    // Centred at its own size; its top-left corner is the pattern's top row, first pixel.
    unsigned char bgr[3];
    PatternPixel(0, 20, 4, bgr);
    const COLORREF corner = RGB(bgr[2], bgr[1], bgr[0]);
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - 37) / 2, y = (::GetSystemMetrics(SM_CYSCREEN) - 21) / 2;
    COLORREF shown = CLR_INVALID;
    EXPECT_TRUE(PumpUntil(
        [&] {
            HDC screen = ::GetDC(nullptr);
            shown = ::GetPixel(screen, x, y);
            ::ReleaseDC(nullptr, screen);
            return shown == corner;
        },
        15000))
        << std::hex << shown << " instead of " << corner;
    ::PostMessageW(saver, WM_KEYDOWN, 'X', 1);
    EXPECT_TRUE(child.WaitForExit(10000));
}

namespace {
// The picture the changer applied last, as it stored it.
std::string StoredLastWallpaper()
{
    std::string value;
    ReadRegString(HKEY_CURRENT_USER, kChanger, "LastWallpaper", &value);
    return value;
}

// Sends a command of the icon's menu and waits until the changer has stored `expected` as the
// wallpaper it applied.
bool CommandUntilApplied(HWND changer, int command, const std::string& expected)
{
    ::PostMessageA(changer, WM_COMMAND, command, 0);
    return PumpUntil([&] { return StoredLastWallpaper() == expected; }, 20000);
}

bool EndChanger(ChildProcess& child, HWND hwnd)
{
    ::PostMessageA(hwnd, WM_CLOSE, 0, 0);
    DWORD code = 1;
    return child.WaitForExit(20000, &code) && code == 0;
}
} // namespace

// The sequence goes on across a restart from the picture after the last one, and Previous goes
// back through what was applied; each change is stored at once.
TEST_F(ShowRolesTest, TheRotationGoesOnAfterARestartAndPreviousGoesBack)
{
    std::vector<std::string> paths;
    for (const char* name : {"one.bmp", "two.bmp", "three.bmp"}) {
        paths.push_back(dir + "\\" + name);
        ASSERT_TRUE(WritePatternPicture(paths.back(), 8, 8, int(paths.size())));
    }
    ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(paths[0]), PictureRecord(paths[1]), PictureRecord(paths[2])}));
    SetChangerInt("LastChange", static_cast<DWORD>(std::time(nullptr)));

    ChildProcess first;
    ASSERT_TRUE(first.Start(MurlavoExe(), "/v"));
    HWND hwnd = WaitForWindow(first, "Murlavo");
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(CommandUntilApplied(hwnd, ID_TRAY_NEXT, paths[0]));
    ASSERT_TRUE(CommandUntilApplied(hwnd, ID_TRAY_NEXT, paths[1]));
    DWORD stored = 0;
    EXPECT_TRUE(ReadRegDword(HKEY_CURRENT_USER, kChanger, "LastChange", &stored));
    EXPECT_GE(int64_t(stored), int64_t(std::time(nullptr)) - 120) << "the time of the change is stored with it";
    ASSERT_TRUE(EndChanger(first, hwnd));

    ChildProcess second;
    ASSERT_TRUE(second.Start(MurlavoExe(), "/v"));
    hwnd = WaitForWindow(second, "Murlavo");
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(CommandUntilApplied(hwnd, ID_TRAY_NEXT, paths[2])) << StoredLastWallpaper();
    EXPECT_TRUE(CommandUntilApplied(hwnd, ID_TRAY_PREVIOUS, paths[1])) << StoredLastWallpaper();
    EXPECT_TRUE(CommandUntilApplied(hwnd, ID_TRAY_PREVIOUS, paths[0])) << StoredLastWallpaper();
    EXPECT_TRUE(CommandUntilApplied(hwnd, ID_TRAY_NEXT, paths[1])) << "Next walks forward through the history";
    EXPECT_TRUE(EndChanger(second, hwnd));
}

// A folder in the library stands for the pictures in it, found again at every change.
TEST_F(ShowRolesTest, AFolderPlaylistPicksUpAPictureAddedWhileTheChangerRuns)
{
    const std::string folder = dir + "\\folder";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(WritePatternPicture(folder + "\\a.bmp", 8, 8, 1));
    ::DeleteFileA((folder + "\\b.bmp").c_str());
    ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(folder + "\\*")}));
    SetChangerInt("LastChange", static_cast<DWORD>(std::time(nullptr)));

    ChildProcess child;
    ASSERT_TRUE(child.Start(MurlavoExe(), "/v"));
    HWND hwnd = WaitForWindow(child, "Murlavo");
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(CommandUntilApplied(hwnd, ID_TRAY_NEXT, folder + "\\a.bmp")) << StoredLastWallpaper();
    ASSERT_TRUE(WritePatternPicture(folder + "\\b.bmp", 8, 8, 2));
    EXPECT_TRUE(CommandUntilApplied(hwnd, ID_TRAY_NEXT, folder + "\\b.bmp")) << StoredLastWallpaper();
    EXPECT_TRUE(EndChanger(child, hwnd));
}
