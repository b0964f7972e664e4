// murlavo.exe on a desktop of two monitors of different sizes (the second right of the primary,
// or left of it at negative coordinates): the wallpaper changer's bitmap holds a picture for
// each monitor at its place, and the saver paints each monitor's own slide.
#include "app/WindowNames.h"
#include "support/Fixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>

using namespace testing_support;

namespace {
const char kDesktop[] = "Control Panel\\Desktop";
const char kChanger[] = "Software\\Orvane Inc.\\Murlavo\\Changer";

BOOL CALLBACK Collect(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    MONITORINFO info {};
    info.cbSize = sizeof info;
    ::GetMonitorInfoW(monitor, &info);
    if (!(info.dwFlags & MONITORINFOF_PRIMARY))
        *reinterpret_cast<RECT*>(data) = info.rcMonitor;
    return TRUE;
}

// The monitor that is not the primary one.
RECT SecondMonitor()
{
    RECT second {};
    ::EnumDisplayMonitors(nullptr, nullptr, Collect, reinterpret_cast<LPARAM>(&second));
    return second;
}

// The wallpaper bitmap as the desktop shows it: tiled from the primary monitor's corner.
struct Desktop {
    int width = 0, height = 0;
    std::string pixels;
    bool Read()
    {
        const std::string data = ReadWholeFile(WallpaperFile());
        if (data.size() < 54 || data.compare(0, 2, "BM") != 0)
            return false;
        width = *reinterpret_cast<const int32_t*>(&data[18]);
        height = *reinterpret_cast<const int32_t*>(&data[22]);
        pixels = data.substr(54);
        return width > 0 && height > 0 && pixels.size() >= size_t(((width * 24 + 31) / 8) & ~3) * height;
    }
    const unsigned char* At(int x, int y) const
    {
        const int cx = ((x % width) + width) % width, cy = ((y % height) + height) % height;
        return reinterpret_cast<const unsigned char*>(pixels.data()) + (height - 1 - cy) * (((width * 24 + 31) / 8) & ~3)
            + 3 * cx;
    }
    int Wrong(int left, int top, int w, int h, int seed) const
    {
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                unsigned char bgr[3];
                PatternPixel(x, h - 1 - y, seed, bgr);
                wrong += memcmp(At(left + x, top + y), bgr, 3) != 0;
            }
        return wrong;
    }
};

class TwoMonitorsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(::GetSystemMetrics(SM_CMONITORS), 2) << "run through tests/scripts/two_monitors_run.sh";
        second = SecondMonitor();
        dir = ScratchDir("two-monitors");
        ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Inc."));
        ::DeleteFileA(WallpaperFile().c_str());
        DeleteRegValue(HKEY_CURRENT_USER, kDesktop, "Wallpaper");
    }
    void TearDown() override
    {
        DeleteLibrary();
        DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Inc.");
    }
    RECT second {};
    std::string dir;
};
} // namespace

TEST_F(TwoMonitorsTest, TheWallpaperHoldsAPictureForEachMonitorAtItsPlace)
{
    const std::string a = dir + "\\a.bmp", b = dir + "\\b.bmp";
    ASSERT_TRUE(WritePatternPicture(a, 200, 150, 1));
    ASSERT_TRUE(WritePatternPicture(b, 120, 90, 2));
    ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(a), PictureRecord(b)}));
    SetChangerInt("FitToScreen", 0);
    SetChangerInt("LastChange", static_cast<DWORD>(std::time(nullptr)));

    ChildProcess child;
    ASSERT_TRUE(child.Start(MurlavoExe(), "/v"));
    HWND changer = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (changer = ::FindWindowA(kChangerClassName, nullptr)) != nullptr; }, 15000));
    ::PostMessageA(changer, 0x700, 128, WM_LBUTTONDBLCLK); // double click on the icon
    std::string wallpaper;
    ASSERT_TRUE(PumpUntil(
        [&] {
            return ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &wallpaper) && wallpaper == WallpaperFile();
        },
        20000));
    std::string tile;
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kDesktop, "TileWallpaper", &tile));
    EXPECT_EQ(tile, "1");

    Desktop desktop;
    ASSERT_TRUE(desktop.Read());
    EXPECT_EQ(desktop.width, ::GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(desktop.height, ::GetSystemMetrics(SM_CYVIRTUALSCREEN));
    const int pw = ::GetSystemMetrics(SM_CXSCREEN), ph = ::GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(desktop.Wrong((pw - 200) / 2, (ph - 150) / 2, 200, 150, 1), 0);
    EXPECT_EQ(desktop.Wrong(second.left + (second.right - second.left - 120) / 2,
                            second.top + (second.bottom - second.top - 90) / 2, 120, 90, 2),
              0)
        << "second monitor at " << second.left << "," << second.top;

    ::PostMessageA(changer, WM_CLOSE, 0, 0);
    EXPECT_TRUE(child.WaitForExit(10000));
}

TEST_F(TwoMonitorsTest, TheSaverPaintsEachMonitorsOwnSlide)
{
    // Pictures of one colour each, fitted to their monitors.
    const std::string a = dir + "\\a.bmp", b = dir + "\\b.bmp";
    ASSERT_TRUE(WritePatternPicture(a, 4, 3, 1));
    ASSERT_TRUE(WritePatternPicture(b, 4, 3, 2));
    ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(a), PictureRecord(b)}));
    SetChangerInt("FitToScreen", 1);
    SetChangerInt("ScaleMethod", 1);
    ChildProcess child;
    ASSERT_TRUE(child.Start(MurlavoExe(), "/s"));
    HWND saver = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (saver = ::FindWindowA(kSaverClassName, nullptr)) != nullptr; }, 15000));
    // The centre of each monitor shows a pixel of its own picture (nearest-neighbour fitting
    // keeps the pattern's colours; the two patterns share none).
    auto pixel = [](int x, int y) {
        HDC screen = ::GetDC(nullptr);
        const COLORREF colour = ::GetPixel(screen, x, y);
        ::ReleaseDC(nullptr, screen);
        return colour;
    };
    auto fromPattern = [](COLORREF colour, int seed) {
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) {
                unsigned char bgr[3];
                PatternPixel(x, y, seed, bgr);
                if (RGB(bgr[2], bgr[1], bgr[0]) == colour)
                    return true;
            }
        return false;
    };
    const int pw = ::GetSystemMetrics(SM_CXSCREEN), ph = ::GetSystemMetrics(SM_CYSCREEN);
    const int sx = (second.left + second.right) / 2, sy = (second.top + second.bottom) / 2;
    EXPECT_TRUE(PumpUntil([&] { return fromPattern(pixel(pw / 2, ph / 2), 1) && fromPattern(pixel(sx, sy), 2); }, 20000))
        << std::hex << pixel(pw / 2, ph / 2) << " " << pixel(sx, sy);
    ::PostMessageA(saver, WM_KEYDOWN, 'X', 1);
    EXPECT_TRUE(child.WaitForExit(10000));
}
