// The wallpaper changer on a desktop of several monitors (given to the window through its
// monitor hook): a picture for each monitor at its place, the same picture on all, one across
// them, Previous by a whole set, a picture that fails, and composing again for new monitors.
#include "app/Globals.h"
#include "image/AbortFlag.h"
#include "library/Settings.h"
#include "platform/Monitors.h"
#include "show/ShowWnd.h"
#include "support/Fixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testing_support;
using platform::MonitorInfo;

namespace {
const char kDesktop[] = "Control Panel\\Desktop";

int64_t g_now = 1700000000;
int64_t FakeNow()
{
    return g_now;
}

std::vector<MonitorInfo> g_monitors;
std::vector<MonitorInfo> FakeMonitors()
{
    return g_monitors;
}

// The primary monitor, and a second one left of it and lower: Wine's own single screen plays
// no part.
const std::vector<MonitorInfo> kPrimaryAndLeft {{{0, 0, 64, 48}, true}, {{-40, 8, 0, 38}, false}};

// The written wallpaper as the desktop shows it: tiled from the primary monitor's corner.
struct Desktop {
    int width = 0, height = 0;
    std::string pixels;
    bool Read()
    {
        const std::string data = ReadWholeFile(WallpaperFile());
        if (data.size() < 54 || data[0] != 'B' || data[1] != 'M')
            return false;
        width = *reinterpret_cast<const int32_t*>(&data[18]);
        height = *reinterpret_cast<const int32_t*>(&data[22]);
        pixels = data.substr(54);
        return width > 0 && height > 0;
    }
    // The pixel at screen point (x, y).
    const unsigned char* At(int x, int y) const
    {
        const int cx = ((x % width) + width) % width, cy = ((y % height) + height) % height;
        const int stride = ((width * 24 + 31) / 8) & ~3;
        return reinterpret_cast<const unsigned char*>(pixels.data()) + (height - 1 - cy) * stride + 3 * cx;
    }
};

// A w x h pattern picture of this seed is what the desktop shows with its top-left corner at
// screen point (left, top), within clip (screen coordinates; by default the whole picture).
void ExpectPictureAt(const Desktop& desktop, int left, int top, int w, int h, int seed, RECT clip = {})
{
    if (::IsRectEmpty(&clip))
        clip = RECT {left, top, left + w, top + h};
    int wrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const POINT at {left + x, top + y};
            if (!::PtInRect(&clip, at))
                continue;
            unsigned char bgr[3];
            PatternPixel(x, h - 1 - y, seed, bgr);
            if (memcmp(desktop.At(left + x, top + y), bgr, 3) != 0 && ++wrong <= 3)
                ADD_FAILURE() << "seed " << seed << " at (" << x << ", " << y << ")";
        }
    EXPECT_EQ(wrong, 0) << "picture of seed " << seed;
}

// Whether the desktop shows the w x h pattern picture of this seed at (left, top).
bool Shows(const Desktop& desktop, int left, int top, int w, int h, int seed)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char bgr[3];
            PatternPixel(x, h - 1 - y, seed, bgr);
            if (memcmp(desktop.At(left + x, top + y), bgr, 3) != 0)
                return false;
        }
    return true;
}

class ShowMonitorsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ScratchDir("monitors");
        g_settings = CChangerSettings();
        g_settings.m_nInterval = 10;
        g_settings.m_nOrder = 1;
        g_settings.m_nScaleMethod = 1;
        g_settings.m_nSeveralMonitors = kDifferentPictures;
        g_bShowRole = false;
        g_bAbortImageWork = 0;
        g_now = 1700000000;
        g_monitors = kPrimaryAndLeft;
        CWallpaperChanger::s_pfnNow = FakeNow;
        CShowWnd::s_pfnMonitors = FakeMonitors;
        ::DeleteFileA(WallpaperFile().c_str());
    }
    void TearDown() override
    {
        if (window && ::IsWindow(hwnd))
            ::DestroyWindow(hwnd);
        CWallpaperChanger::s_pfnNow = saveNow;
        CShowWnd::s_pfnMonitors = platform::MonitorInfos;
        g_bShowRole = true;
        DeleteLibrary();
    }

    std::string Picture(const char* name, int w, int h, int seed)
    {
        const std::string path = dir + "\\" + name;
        EXPECT_TRUE(WritePatternPicture(path, w, h, seed)) << path;
        return path;
    }
    void StartChanger(const std::vector<CWallpaperObject>& pictures)
    {
        ASSERT_TRUE(WriteNowPlayingLibrary(pictures));
        window = new CShowWnd;
        ASSERT_TRUE(window->CreateHidden());
        hwnd = window->m_hWnd;
    }
    bool WaitIdle()
    {
        return PumpUntil([this] { return !window->Preparation().Busy(); }, 20000);
    }
    void Next()
    {
        ::SendMessageA(hwnd, WM_TRAYNOTIFY, kTrayIconId, WM_LBUTTONDBLCLK);
        ASSERT_TRUE(WaitIdle());
    }
    void Previous()
    {
        window->ChangeBack();
        ASSERT_TRUE(WaitIdle());
    }
    Desktop Shown()
    {
        Desktop desktop;
        EXPECT_TRUE(desktop.Read());
        return desktop;
    }

    std::string dir;
    CShowWnd* window = nullptr;
    HWND hwnd = nullptr;
    int64_t (*saveNow)() = CWallpaperChanger::s_pfnNow;
};
} // namespace

// Each monitor its own picture, centred at its own place; the rotation moves on by both and
// the desktop tiles the bitmap, whatever the records say.
TEST_F(ShowMonitorsTest, EachMonitorShowsItsOwnPictureAtItsPlace)
{
    const std::string a = Picture("a.bmp", 64, 48, 1), b = Picture("b.bmp", 30, 20, 2),
                      c = Picture("c.bmp", 40, 30, 3);
    StartChanger({PictureRecord(a), PictureRecord(b), PictureRecord(c)});
    Next();
    Desktop desktop = Shown();
    EXPECT_EQ(desktop.width, 104);
    EXPECT_EQ(desktop.height, 48);
    ExpectPictureAt(desktop, 0, 0, 64, 48, 1);
    ExpectPictureAt(desktop, -35, 13, 30, 20, 2); // centred in (-40, 8)-(0, 38)
    // Outside the picture on the left monitor, and the gap above it: the desktop's colour.
    const COLORREF background = ::GetSysColor(COLOR_BACKGROUND);
    const unsigned char* gap = desktop.At(-40, 0);
    EXPECT_EQ(RGB(gap[2], gap[1], gap[0]), background);
    std::string tile;
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kDesktop, "TileWallpaper", &tile));
    EXPECT_EQ(tile, "1");
    EXPECT_EQ(g_settings.m_strLastWallpaper, a);

    // The next change: the two pictures after them, no picture on two monitors.
    Next();
    desktop = Shown();
    ExpectPictureAt(desktop, 12, 9, 40, 30, 3);
    // a, centred on the 40 x 30 monitor and cut to it.
    ExpectPictureAt(desktop, -52, -1, 64, 48, 1, RECT {-40, 8, 0, 38});
    EXPECT_EQ(g_settings.m_strLastWallpaper, c);
}

// Previous goes back by the whole set, and Next comes forward to the set after it again.
TEST_F(ShowMonitorsTest, PreviousGoesBackByAWholeSet)
{
    const std::string a = Picture("a.bmp", 40, 30, 1), b = Picture("b.bmp", 40, 30, 2),
                      c = Picture("c.bmp", 40, 30, 3), d = Picture("d.bmp", 40, 30, 4);
    StartChanger({PictureRecord(a), PictureRecord(b), PictureRecord(c), PictureRecord(d)});
    Next();
    Next();
    ExpectPictureAt(Shown(), 12, 9, 40, 30, 3);
    ExpectPictureAt(Shown(), -40, 8, 40, 30, 4);
    Previous();
    EXPECT_EQ(g_settings.m_strLastWallpaper, a);
    ExpectPictureAt(Shown(), 12, 9, 40, 30, 1);
    ExpectPictureAt(Shown(), -40, 8, 40, 30, 2);
    Next();
    EXPECT_EQ(g_settings.m_strLastWallpaper, c);
    ExpectPictureAt(Shown(), -40, 8, 40, 30, 4);
}

// A portrait picture goes to the portrait monitor even when the rotation chose it first.
TEST_F(ShowMonitorsTest, APortraitPictureGoesToThePortraitMonitor)
{
    g_monitors = {{{0, 0, 64, 48}, true}, {{64, 0, 94, 60}, false}};
    const std::string tall = Picture("tall.bmp", 20, 40, 5), wide = Picture("wide.bmp", 40, 20, 6);
    StartChanger({PictureRecord(tall), PictureRecord(wide)});
    Next();
    const Desktop desktop = Shown();
    ExpectPictureAt(desktop, 12, 14, 40, 20, 6);
    ExpectPictureAt(desktop, 69, 10, 20, 40, 5);
    EXPECT_EQ(g_settings.m_strLastWallpaper, wide);
}

TEST_F(ShowMonitorsTest, TheSamePictureOnEveryMonitorAndOneAcrossThemAll)
{
    g_settings.m_nSeveralMonitors = kSamePicture;
    g_settings.m_bFitToScreen = 1;
    const std::string a = Picture("a.bmp", 40, 30, 1);
    StartChanger({PictureRecord(a)});
    Next();
    Desktop desktop = Shown();
    // Fitted to each monitor: the primary's picture is 64 x 48, the left one's 40 x 30 (its
    // own size, unscaled).
    EXPECT_EQ(desktop.width, 104);
    ExpectPictureAt(desktop, -40, 8, 40, 30, 1);

    g_settings.m_nSeveralMonitors = kOnePictureAcross;
    g_settings.m_bFitToScreen = 0;
    Next();
    desktop = Shown();
    // Centred on the whole desktop (-40, 0)-(64, 48).
    ExpectPictureAt(desktop, -8, 9, 40, 30, 1);
}

// A picture of the set that cannot be read is left out and another set is composed at once.
TEST_F(ShowMonitorsTest, APictureThatFailsIsSkippedAndTheSetComposedAgain)
{
    const std::string a = Picture("a.bmp", 40, 30, 1), c = Picture("c.bmp", 40, 30, 3);
    StartChanger({PictureRecord(a), PictureRecord(dir + "\\missing.bmp"), PictureRecord(c)});
    Next();
    EXPECT_TRUE(WaitIdle());
    const Desktop desktop = Shown();
    ExpectPictureAt(desktop, 12, 9, 40, 30, 1);
    ExpectPictureAt(desktop, -40, 8, 40, 30, 3);
}

// New monitors (the work area's message stands for every such event): the same pictures,
// composed for them, and no change counted. One monitor left: the picture as on one screen.
TEST_F(ShowMonitorsTest, NewMonitorsGetTheSamePicturesComposedAgain)
{
    const std::string a = Picture("a.bmp", 40, 30, 1), b = Picture("b.bmp", 40, 30, 2),
                      c = Picture("c.bmp", 40, 30, 3);
    StartChanger({PictureRecord(a), PictureRecord(b), PictureRecord(c)});
    Next();
    const int32_t changed = g_settings.m_timeLastChange;
    g_now += 120;
    g_monitors = {{{0, 0, 64, 48}, true}, {{64, 0, 104, 30}, false}};
    ::SendMessageA(hwnd, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    ASSERT_TRUE(WaitIdle());
    Desktop desktop = Shown();
    EXPECT_EQ(desktop.width, 104);
    ExpectPictureAt(desktop, 12, 9, 40, 30, 1);
    ExpectPictureAt(desktop, 64, 0, 40, 30, 2);
    EXPECT_EQ(g_settings.m_timeLastChange, changed);
    EXPECT_EQ(g_settings.m_strLastWallpaper, a);

    // The same layout again: nothing to do.
    ::SendMessageA(hwnd, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    EXPECT_FALSE(window->Preparation().Busy());

    g_monitors = {{{0, 0, 64, 48}, true}};
    ::PostMessageA(hwnd, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    ASSERT_TRUE(PumpUntil(
        [] {
            Desktop now;
            return now.Read() && now.width != 104;
        },
        20000));
    ASSERT_TRUE(WaitIdle());
    desktop = Shown();
    EXPECT_EQ(desktop.width, 40);
    EXPECT_EQ(desktop.height, 30);
    EXPECT_EQ(g_settings.m_timeLastChange, changed);
}

// A display change during a preparation is not lost: a change follows once it has ended.
TEST_F(ShowMonitorsTest, ADisplayChangeDuringAPreparationIsDoneAfterIt)
{
    const std::string a = Picture("a.bmp", 40, 30, 1), b = Picture("b.bmp", 40, 30, 2),
                      c = Picture("c.bmp", 40, 30, 3), d = Picture("d.bmp", 40, 30, 4);
    StartChanger({PictureRecord(a), PictureRecord(b), PictureRecord(c), PictureRecord(d)});
    ::SendMessageA(hwnd, WM_TRAYNOTIFY, kTrayIconId, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(window->Preparation().Busy());
    g_monitors = {{{0, 0, 64, 48}, true}, {{64, 0, 104, 30}, false}};
    ::SendMessageA(hwnd, WM_DISPLAYCHANGE, 24, MAKELPARAM(64, 48));
    ASSERT_TRUE(PumpUntil([] { return g_settings.m_strLastWallpaper.find("c.bmp") != std::string::npos; }, 20000));
    ASSERT_TRUE(WaitIdle());
    const Desktop desktop = Shown();
    ExpectPictureAt(desktop, 64, 0, 40, 30, 4);
}

// In random order too, the two monitors never show the same picture while the list has enough,
// and every picture comes round.
TEST_F(ShowMonitorsTest, RandomOrderNeverPutsOnePictureOnBothMonitors)
{
    g_settings.m_nOrder = 0;
    g_monitors = {{{0, 0, 40, 30}, true}, {{40, 0, 80, 30}, false}};
    std::vector<CWallpaperObject> records;
    for (int seed = 1; seed <= 3; ++seed)
        records.push_back(PictureRecord(Picture(("p" + std::to_string(seed) + ".bmp").c_str(), 40, 30, seed)));
    StartChanger(records);
    std::vector<int> seen(4, 0);
    for (int change = 0; change < 9; ++change) {
        Next();
        const Desktop desktop = Shown();
        int primary = 0, second = 0;
        for (int seed = 1; seed <= 3; ++seed) {
            if (Shows(desktop, 0, 0, 40, 30, seed))
                primary = seed;
            if (Shows(desktop, 40, 0, 40, 30, seed))
                second = seed;
        }
        ASSERT_NE(primary, 0) << "change " << change;
        ASSERT_NE(second, 0) << "change " << change;
        EXPECT_NE(primary, second) << "change " << change;
        ++seen[primary];
        ++seen[second];
    }
    for (int seed = 1; seed <= 3; ++seed)
        EXPECT_GT(seen[seed], 0) << seed;
}
