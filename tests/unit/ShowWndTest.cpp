// The show window in-process: rotation, preparation thread, applying the wallpaper,
// the preview, closing during a preparation, and handle counts over many changes.
#include "app/Globals.h"
#include "image/AbortFlag.h"
#include "library/Settings.h"
#include "show/ShowWnd.h"
#include "support/Fixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <psapi.h>

using namespace testing_support;

namespace {
const char kDesktop[] = "Control Panel\\Desktop";

int64_t g_fakeNow = 1700000000;
int64_t FakeNow()
{
    return g_fakeNow;
}

std::string WallpaperFile()
{
    char temp[MAX_PATH + 1] = "";
    ::GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "Murlavo Wallpaper.bmp";
}

// Width, height and the pixel array of a 24-bit bitmap file written by the program.
struct BitmapFile {
    int width = 0, height = 0;
    std::string pixels;
    bool Read(const std::string& path)
    {
        std::string data = ReadWholeFile(path);
        if (data.size() < 54 || data[0] != 'B' || data[1] != 'M')
            return false;
        width = *reinterpret_cast<const int32_t*>(&data[18]);
        height = *reinterpret_cast<const int32_t*>(&data[22]);
        pixels = data.substr(54);
        return true;
    }
    const unsigned char* Pixel(int x, int y) const
    {
        const int stride = ((width * 24 + 31) / 8) & ~3;
        return reinterpret_cast<const unsigned char*>(pixels.data()) + y * stride + 3 * x;
    }
};

class ShowWndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ScratchDir("show");
        g_settings = CChangerSettings();
        g_settings.m_nInterval = 10;
        g_settings.m_nOrder = 1;
        g_settings.m_nSlideShow = 5;
        g_settings.m_nScaleMethod = 1;
        g_bShowRole = true;
        g_bAbortImageWork = 0;
        g_fakeNow = 1700000000;
        CShowWnd::s_pfnNow = FakeNow;
        ::DeleteFileA(WallpaperFile().c_str());
    }
    void TearDown() override
    {
        if (window && ::IsWindow(hwnd))
            ::DestroyWindow(hwnd);
        CShowWnd::s_pfnNow = saveNow;
        g_bShowRole = true;
        DeleteLibrary();
    }

    std::string Picture(const char* name, int w, int h, int seed = 0)
    {
        std::string path = dir + "\\" + name;
        EXPECT_TRUE(WritePatternPicture(path, w, h, seed)) << path;
        return path;
    }

    // A wallpaper-changer window over a library of these pictures.
    void StartChanger(const std::vector<CWallpaperObject>& pictures)
    {
        ASSERT_TRUE(WriteNowPlayingLibrary(pictures));
        g_bShowRole = false;
        window = new CShowWnd;
        ASSERT_TRUE(window->CreateHidden());
        hwnd = window->m_hWnd;
    }

    bool WaitIdle() { return PumpUntil([this] { return !window->m_bBusy; }, 20000); }

    // Double click on the notification-area icon, then wait for the apply step.
    void DoubleClick()
    {
        ::SendMessageA(hwnd, WM_TRAYNOTIFY, kTrayIconId, WM_LBUTTONDBLCLK);
        ASSERT_TRUE(WaitIdle());
    }

    std::string dir;
    CShowWnd* window = nullptr;
    HWND hwnd = nullptr;
    int64_t (*saveNow)() = CShowWnd::s_pfnNow;
};
} // namespace

TEST_F(ShowWndTest, DoubleClickAppliesThePictureAsWallpaper)
{
    std::string path = Picture("tiled.bmp", 37, 21, 3);
    StartChanger({PictureRecord(path, "1")});
    EXPECT_EQ(g_settings.m_strTempImage, WallpaperFile());
    DoubleClick();

    std::string tile, wallpaper;
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kDesktop, "TileWallpaper", &tile));
    EXPECT_EQ(tile, "1");
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &wallpaper));
    EXPECT_EQ(wallpaper, WallpaperFile());
    EXPECT_EQ(g_settings.m_strLastWallpaper, path);
    EXPECT_EQ(g_settings.m_timeLastChange, static_cast<int32_t>(g_fakeNow));

    // Not fitted: the written bitmap is the picture itself.
    BitmapFile file;
    ASSERT_TRUE(file.Read(WallpaperFile()));
    EXPECT_EQ(file.width, 37);
    EXPECT_EQ(file.height, 21);
    for (int y : {0, 20})
        for (int x : {0, 17, 36}) {
            unsigned char bgr[3];
            PatternPixel(x, y, 3, bgr);
            EXPECT_EQ(0, memcmp(file.Pixel(x, y), bgr, 3)) << x << "," << y;
        }
}

TEST_F(ShowWndTest, FittedPictureIsWrittenAtTheScreenSize)
{
    g_settings.m_bFitToScreen = 1;
    const int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
    StartChanger({PictureRecord(Picture("stretched.bmp", 40, 10), "0", 0)});
    DoubleClick();
    BitmapFile file;
    ASSERT_TRUE(file.Read(WallpaperFile()));
    EXPECT_EQ(file.width, sw);
    EXPECT_EQ(file.height, sh);
    std::string tile;
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kDesktop, "TileWallpaper", &tile));
    EXPECT_EQ(tile, "0");
}

TEST_F(ShowWndTest, TimerChangesOnlyWhenTheIntervalHasPassed)
{
    std::string a = Picture("a.bmp", 8, 8, 1), b = Picture("b.bmp", 8, 8, 2);
    StartChanger({PictureRecord(a), PictureRecord(b)});
    g_settings.m_timeLastChange = static_cast<int32_t>(g_fakeNow);

    g_fakeNow += 9 * 60 + 59;
    ::SendMessageA(hwnd, WM_TIMER, kShowTimerId, 0);
    EXPECT_FALSE(window->m_bBusy);
    EXPECT_EQ(window->m_pCurrent, nullptr);

    g_fakeNow += 1;
    ::SendMessageA(hwnd, WM_TIMER, kShowTimerId, 0);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(g_settings.m_strLastWallpaper, a);

    // Sequential order goes on with the next picture, then wraps.
    window->ChangeNow();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(g_settings.m_strLastWallpaper, b);
    window->ChangeNow();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(g_settings.m_strLastWallpaper, a);
}

TEST_F(ShowWndTest, TickWhileBusyIsDropped)
{
    StartChanger({PictureRecord(Picture("a.bmp", 8, 8))});
    window->m_bBusy = true;
    window->ChangeNow();
    EXPECT_EQ(window->m_pCurrent, nullptr);
    EXPECT_EQ(window->m_nNextWallpaper, 0);
    window->m_bBusy = false;
    window->ChangeNow();
    ASSERT_TRUE(WaitIdle());
    EXPECT_NE(window->m_pCurrent, nullptr);
}

TEST_F(ShowWndTest, RandomOrderWithOnePictureChoosesItAgain)
{
    std::string only = Picture("only.bmp", 8, 8);
    g_settings.m_nOrder = 0;
    g_settings.m_strLastWallpaper = only;
    StartChanger({PictureRecord(only)});
    DoubleClick();
    EXPECT_EQ(g_settings.m_strLastWallpaper, only);
    EXPECT_TRUE(FileExists(WallpaperFile()));
}

TEST_F(ShowWndTest, EmptyListDoesNothing)
{
    StartChanger({});
    window->ChangeNow();
    EXPECT_FALSE(window->m_bBusy);
    EXPECT_FALSE(FileExists(WallpaperFile()));
    EXPECT_EQ(g_settings.m_strLastWallpaper, "");
}

TEST_F(ShowWndTest, UnreadablePictureIsSkipped)
{
    std::string broken = dir + "\\broken.bmp";
    ASSERT_TRUE(::CloseHandle(::CreateFileA(broken.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)));
    StartChanger({PictureRecord(broken)});
    window->ChangeNow();
    EXPECT_FALSE(window->m_bBusy);
    EXPECT_FALSE(window->m_bLoaded);
    EXPECT_FALSE(FileExists(WallpaperFile()));
}

TEST_F(ShowWndTest, RecordStaysValidWhenTheListIsReplacedDuringPreparation)
{
    g_settings.m_bFitToScreen = 1;
    std::string path = Picture("replaced.bmp", 300, 200);
    StartChanger({PictureRecord(path, "1", 1, 1)});
    window->ChangeNow();
    ASSERT_TRUE(window->m_bBusy);
    window->m_arrShowList.clear(); // what the Settings command does with the old list
    window->m_pCurrent = nullptr;
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(g_settings.m_strLastWallpaper, path);
    std::string tile;
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kDesktop, "TileWallpaper", &tile));
    EXPECT_EQ(tile, "1");
}

// Closing while the thread prepares: the abort flag is raised before the thread starts, so
// the scaling stops at its first poll whatever the machine's speed.
TEST_F(ShowWndTest, ClosingDuringResampleWritesNothing)
{
    g_settings.m_bFitToScreen = 1;
    StartChanger({PictureRecord(Picture("resample.bmp", 640, 480), "0", 1, 1)});
    std::string before;
    ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &before);
    g_bAbortImageWork = 1;
    window->ChangeNow();
    ASSERT_TRUE(window->m_bBusy);
    ::DestroyWindow(hwnd);
    window = nullptr;
    EXPECT_FALSE(FileExists(WallpaperFile()));
    EXPECT_EQ(g_bAbortImageWork.load(), 0);
    std::string after;
    ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &after);
    EXPECT_EQ(after, before);
}

TEST_F(ShowWndTest, ClosingDuringResizeWritesTheUnscaledPictureOnly)
{
    g_settings.m_bFitToScreen = 1;
    StartChanger({PictureRecord(Picture("resize.bmp", 640, 480), "0", 1, 0)});
    DeleteRegValue(HKEY_CURRENT_USER, kDesktop, "Wallpaper");
    g_bAbortImageWork = 1;
    window->ChangeNow();
    ASSERT_TRUE(window->m_bBusy);
    // The thread's Resize stops at once and clears the flag, the thread writes the unscaled
    // picture and posts its message. Closing before that message is handled loses it with the
    // window. (Waiting for the thread first keeps the destroy step's own raising of the flag
    // from landing between Resize's clearing and the thread's test of it.)
    ASSERT_EQ(::WaitForSingleObject(window->m_thread.Get(), 20000), WAIT_OBJECT_0);
    ::DestroyWindow(hwnd);
    window = nullptr;
    PumpFor(50);
    BitmapFile file;
    ASSERT_TRUE(file.Read(WallpaperFile()));
    EXPECT_EQ(file.width, 640);
    EXPECT_EQ(file.height, 480);
    std::string wallpaper;
    EXPECT_FALSE(ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &wallpaper)) << wallpaper;
    EXPECT_EQ(g_settings.m_strLastWallpaper, "");
}

TEST_F(ShowWndTest, PreviewNeverFitsOnTheThread)
{
    g_settings.m_bFitToScreen = 1;
    ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(Picture("preview.bmp", 80, 60), "0", 1, 0)}));
    HWND parent = ::CreateWindowExA(0, "STATIC", "preview parent", WS_POPUP | WS_VISIBLE, 0, 0, 152, 112, nullptr,
                                    nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    window = new CShowWnd;
    RECT rect {0, 0, 152, 112};
    ASSERT_TRUE(window->CreateAsChild(rect, parent));
    hwnd = window->m_hWnd;
    EXPECT_EQ(window->m_bPreview, 1);
    EXPECT_EQ(window->m_bShowMode, 1);
    EXPECT_EQ(::GetDlgCtrlID(hwnd), 1);
    ASSERT_TRUE(PumpUntil([this] { return window->m_bLoaded && !window->m_bBusy; }, 20000));
    EXPECT_EQ(window->m_pImage->m_nWidth, 80);
    EXPECT_EQ(window->m_pImage->m_nHeight, 60);
    EXPECT_FALSE(FileExists(WallpaperFile()));
    ::DestroyWindow(parent); // takes the preview with it
    EXPECT_FALSE(::IsWindow(hwnd));
    window = nullptr;
}

namespace {
// Live handles of this process. The system's counters (GetGuiResources, GetProcessHandleCount)
// are stubs returning 0 under Wine, so the handles are also counted by probing every small
// handle value: kernel handles are multiples of 4, and GDI objects answer GetObjectType by
// their 16-bit index there.
struct ResourceCounts {
    DWORD gdi = 0, user = 0, handles = 0;
    int probedGdi = 0, probedHandles = 0, modules = 0;
};
ResourceCounts CountResources()
{
    ResourceCounts counts;
    counts.gdi = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    counts.user = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    ::GetProcessHandleCount(::GetCurrentProcess(), &counts.handles);
    for (UINT_PTR i = 1; i < 0x10000; ++i)
        counts.probedGdi += ::GetObjectType(reinterpret_cast<HGDIOBJ>(i)) != 0;
    for (UINT_PTR i = 4; i < 0x20000; i += 4) {
        DWORD flags;
        counts.probedHandles += ::GetHandleInformation(reinterpret_cast<HANDLE>(i), &flags) != FALSE;
    }
    HMODULE modules[512];
    DWORD bytes = 0;
    if (::EnumProcessModules(::GetCurrentProcess(), modules, sizeof modules, &bytes))
        counts.modules = static_cast<int>(bytes / sizeof(HMODULE));
    return counts;
}
} // namespace

TEST_F(ShowWndTest, ManyChangesLeakNoHandles)
{
    g_settings.m_bFitToScreen = 1;
    std::vector<CWallpaperObject> pictures {PictureRecord(Picture("p1.bmp", 90, 70, 1), "0", 1, 0),
                                            PictureRecord(Picture("p2.bmp", 50, 80, 2), "1", 0, 0),
                                            PictureRecord(Picture("p3.bmp", 33, 33, 3), "0", 1, 0)};
    StartChanger(pictures);
    window->m_arrShowList[2]->m_bResample = 1; // both scaling methods take turns
    for (int i = 0; i < 10; ++i) { // warm up caches of the system libraries
        window->ChangeNow();
        ASSERT_TRUE(WaitIdle());
    }
    ResourceCounts before = CountResources();
    for (int i = 0; i < 300; ++i) {
        window->ChangeNow();
        ASSERT_TRUE(WaitIdle());
    }
    ResourceCounts after = CountResources();
    // A leak of one object per change would show as +300.
    EXPECT_LE(after.gdi, before.gdi + 2);
    EXPECT_LE(after.user, before.user + 2);
    EXPECT_LE(after.handles, before.handles + 2);
    EXPECT_LE(after.probedGdi, before.probedGdi + 2);
    EXPECT_LE(after.probedHandles, before.probedHandles + 2);
    EXPECT_EQ(after.modules, before.modules);
    EXPECT_GT(before.probedGdi + static_cast<int>(before.gdi), 0); // the counting works at all
    EXPECT_FALSE(window->m_thread);
}

TEST_F(ShowWndTest, PreviewWithoutPicturesPaintsTheLogoOnTheBackground)
{
    g_settings.m_crBkgndColor = RGB(0, 160, 0);
    DeleteLibrary();
    HWND parent = ::CreateWindowExA(0, "STATIC", "preview parent", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 100, 100,
                                    152, 112, nullptr, nullptr, nullptr, nullptr);
    window = new CShowWnd;
    RECT rect {0, 0, 152, 112};
    ASSERT_TRUE(window->CreateAsChild(rect, parent));
    hwnd = window->m_hWnd;
    PumpFor(300);
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = ::GetDC(nullptr);
    int background = 0;
    for (int y = 0; y < 112; y += 4)
        for (int x = 0; x < 152; x += 4)
            background += ::GetPixel(dc, 100 + x, 100 + y) == RGB(0, 160, 0);
    ::ReleaseDC(nullptr, dc);
    // The 145 x 40 logo covers at most a third of the 152 x 112 area.
    EXPECT_GT(background, 38 * 28 / 2);
    EXPECT_LT(background, 38 * 28);
    ::DestroyWindow(parent);
    window = nullptr;
}
