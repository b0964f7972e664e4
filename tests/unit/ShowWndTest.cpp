// The show window in-process: rotation, preparation thread, applying the wallpaper,
// the preview, closing during a preparation, handle counts over many changes, and pictures
// and temporary folders whose names the ANSI code page cannot hold or whose paths are long.
#include "app/Globals.h"
#include "image/AbortFlag.h"
#include "library/Settings.h"
#include "saver/SaverWnd.h"
#include "show/ShowWnd.h"
#include "support/Fixtures.h"
#include "support/TestSupport.h"
#include "unit/WidePictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

using namespace testing_support;

namespace {
const char kDesktop[] = "Control Panel\\Desktop";

int64_t g_fakeNow = 1700000000;
int64_t FakeNow()
{
    return g_fakeNow;
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
        CWallpaperChanger::s_pfnNow = FakeNow;
        ::DeleteFileA(WallpaperFile().c_str());
    }
    void TearDown() override
    {
        if (window && ::IsWindow(hwnd))
            ::DestroyWindow(hwnd);
        CWallpaperChanger::s_pfnNow = saveNow;
        CPreparationWorker::s_pfnPreparationEnded = nullptr;
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

    bool WaitIdle() { return PumpUntil([this] { return !window->Preparation().Busy(); }, 20000); }

    // Double click on the notification-area icon, then wait for the apply step.
    void DoubleClick()
    {
        ::SendMessageA(hwnd, WM_TRAYNOTIFY, kTrayIconId, WM_LBUTTONDBLCLK);
        ASSERT_TRUE(WaitIdle());
    }

    std::string dir;
    CShowWnd* window = nullptr;
    HWND hwnd = nullptr;
    int64_t (*saveNow)() = CWallpaperChanger::s_pfnNow;
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
    EXPECT_FALSE(window->Preparation().Busy());
    EXPECT_EQ(window->Changer().Current(), nullptr);

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

// Previous goes back one applied wallpaper at a time, stepping over one that can no longer be
// shown; Next then walks forward again, and the pictures applied are stored as they change.
TEST_F(ShowWndTest, PreviousGoesBackOverPicturesThatAreGone)
{
    std::string a = Picture("a.bmp", 8, 8, 1), b = Picture("b.bmp", 8, 8, 2), c = Picture("c.bmp", 8, 8, 3);
    StartChanger({PictureRecord(a), PictureRecord(b), PictureRecord(c)});
    EXPECT_FALSE(window->Changer().CanGoBack());
    for (const std::string& expected : {a, b, c}) {
        DoubleClick();
        ASSERT_EQ(g_settings.m_strLastWallpaper, expected);
    }
    ASSERT_TRUE(::DeleteFileA(b.c_str()));
    window->ChangeBack();
    ASSERT_TRUE(PumpUntil([&] { return !window->Preparation().Busy() && g_settings.m_strLastWallpaper == a; }, 20000))
        << g_settings.m_strLastWallpaper;
    EXPECT_FALSE(window->Changer().CanGoBack());
    DoubleClick();
    EXPECT_EQ(g_settings.m_strLastWallpaper, c) << "forward again, over the picture that is gone";
}

// A Settings OK that changed options alone leaves the sequence where it was; one that changed
// the list starts it at the first picture.
TEST_F(ShowWndTest, TheSequenceRestartsOnlyWhenTheListChanged)
{
    std::string a = Picture("a.bmp", 8, 8, 1), b = Picture("b.bmp", 8, 8, 2), c = Picture("c.bmp", 8, 8, 3);
    StartChanger({PictureRecord(a), PictureRecord(b), PictureRecord(c)});
    DoubleClick();
    DoubleClick();
    ASSERT_EQ(g_settings.m_strLastWallpaper, b);
    CChangerSettings options = g_settings;
    options.m_nSlideShow = 9;
    window->Changer().ReloadSettingsAndLibrary(options);
    DoubleClick();
    EXPECT_EQ(g_settings.m_strLastWallpaper, c);

    ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(c), PictureRecord(b)}));
    window->Changer().ReloadSettingsAndLibrary(options);
    DoubleClick();
    EXPECT_EQ(g_settings.m_strLastWallpaper, c) << "the new list from its first picture";
    DoubleClick();
    EXPECT_EQ(g_settings.m_strLastWallpaper, b);
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
    EXPECT_FALSE(window->Preparation().Busy());
    EXPECT_FALSE(FileExists(WallpaperFile()));
    EXPECT_EQ(g_settings.m_strLastWallpaper, "");
}

TEST_F(ShowWndTest, UnreadablePictureIsSkipped)
{
    std::string broken = dir + "\\broken.bmp";
    ASSERT_TRUE(::CloseHandle(::CreateFileA(broken.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)));
    StartChanger({PictureRecord(broken)});
    window->ChangeNow();
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(window->m_bLoaded);
    EXPECT_FALSE(FileExists(WallpaperFile()));
    EXPECT_EQ(g_settings.m_strLastWallpaper, "");
    // Still ChangeNow's setting, so the next minute tick tries again.
    EXPECT_EQ(g_settings.m_timeLastChange, static_cast<int32_t>(g_fakeNow - 11 * 60));
}

TEST_F(ShowWndTest, RecordStaysValidWhenTheListIsReplacedDuringPreparation)
{
    g_settings.m_bFitToScreen = 1;
    std::string path = Picture("replaced.bmp", 300, 200);
    StartChanger({PictureRecord(path, "1", 1, 1)});
    window->ChangeNow();
    ASSERT_TRUE(window->Preparation().Busy());
    window->Changer().Clear(); // what the Settings command does with the old list
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
    ASSERT_TRUE(window->Preparation().Busy());
    ::DestroyWindow(hwnd);
    window = nullptr;
    EXPECT_FALSE(FileExists(WallpaperFile()));
    EXPECT_EQ(g_bAbortImageWork.load(), 0);
    std::string after;
    ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &after);
    EXPECT_EQ(after, before);
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
    ASSERT_TRUE(PumpUntil([this] { return window->m_bLoaded && !window->Preparation().Busy(); }, 20000));
    ASSERT_NE(window->Preparation().Picture(), nullptr);
    EXPECT_EQ(window->Preparation().Picture()->m_nWidth, 80);
    EXPECT_EQ(window->Preparation().Picture()->m_nHeight, 60);
    EXPECT_FALSE(FileExists(WallpaperFile()));
    ::DestroyWindow(parent); // takes the preview with it
    EXPECT_FALSE(::IsWindow(hwnd));
    window = nullptr;
}

TEST_F(ShowWndTest, ManyChangesLeakNoHandles)
{
    g_settings.m_bFitToScreen = 1;
    std::vector<CWallpaperObject> pictures {PictureRecord(Picture("p1.bmp", 90, 70, 1), "0", 1, 0),
                                            PictureRecord(Picture("p2.bmp", 50, 80, 2), "1", 0, 0),
                                            PictureRecord(Picture("p3.bmp", 33, 33, 3), "0", 1, 0)};
    StartChanger(pictures);
    window->Changer().ListForTests()[2]->m_bResample = 1; // both scaling methods take turns
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
    EXPECT_FALSE(window->Preparation().Busy());
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
    HandlePostedMessages(); // the first tick, posted at creation: no picture to load
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

// The desktop combines the tile flag with a style; both are written at every change, so a
// user's earlier "fill" or "stretch" does not zoom a centred picture.
TEST_F(ShowWndTest, EveryChangeWritesTheWallpaperStyleWithTheTileFlag)
{
    HKEY key;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kDesktop, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(key, "WallpaperStyle", 0, REG_SZ, reinterpret_cast<const BYTE*>("10"), 3); // fill
    ::RegCloseKey(key);
    StartChanger({PictureRecord(Picture("tile.bmp", 8, 8, 1), "1"), PictureRecord(Picture("centre.bmp", 8, 8, 2), "0")});
    for (const char* tile : {"1", "0", "1"}) {
        DoubleClick();
        std::string style, tiled;
        ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kDesktop, "WallpaperStyle", &style));
        ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kDesktop, "TileWallpaper", &tiled));
        EXPECT_EQ(style, "0");
        EXPECT_EQ(tiled, tile);
    }
}

namespace {
// A black picture whose resampling to the screen (stretched, 1024 x 768) runs out of memory:
// the horizontal pass alone would make a picture of 1024 x 350000, beyond what one may take.
// Its rows are stored top-down, so the program's own reader takes it (the system's refuses a
// bitmap this tall).
std::string TallPicture(const std::string& dir)
{
    const int32_t w = 1, h = 350000, stride = 4;
    std::string file(54 + size_t(stride) * h, '\0');
    auto put = [&file](size_t at, int32_t value) { std::memcpy(&file[at], &value, 4); };
    file[0] = 'B';
    file[1] = 'M';
    put(2, int32_t(file.size()));
    put(10, 54);
    put(14, 40);
    put(18, w);
    put(22, -h);
    file[26] = 1;  // planes
    file[28] = 24; // bits per pixel
    put(34, stride * h);
    const std::string path = dir + "\\tall.bmp";
    FILE* fp = std::fopen(path.c_str(), "wb");
    EXPECT_NE(fp, nullptr);
    if (fp) {
        std::fwrite(file.data(), 1, file.size(), fp);
        std::fclose(fp);
    }
    return path;
}

std::atomic<int> g_preparationsEnded {0};
void CountPreparationEnded()
{
    ++g_preparationsEnded;
}
} // namespace

// The wallpaper changer skips the picture and tells the user once, after the preparation ended,
// in a box on the window's thread that the window owns; the next change goes on as usual.
TEST_F(ShowWndTest, OutOfMemoryIsToldByTheWindowAndThePictureSkipped)
{
    g_settings.m_bFitToScreen = 1;
    const std::string tall = TallPicture(dir), next = Picture("next.bmp", 8, 8);
    StartChanger({PictureRecord(tall, "0", 0, 1), PictureRecord(next, "0", 0, 1)});
    HWND owner = nullptr;
    bool busy = true;
    char text[64] = "";
    DialogAnswerer box("Murlavo", [&](HWND dlg) {
        owner = ::GetWindow(dlg, GW_OWNER);
        busy = window->Preparation().Busy();
        ::GetDlgItemTextA(dlg, 0xFFFF, text, sizeof text); // the message box's text
        ::PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
    window->ChangeNow();
    ASSERT_TRUE(PumpUntil([&] { return box.Answered() > 0; }, 20000));
    // The next picture was taken at once, without waiting for the next change.
    ASSERT_TRUE(WaitIdle());
    HandlePostedMessages();
    EXPECT_EQ(box.Answered(), 1);
    EXPECT_EQ(owner, hwnd);
    EXPECT_STREQ(text, "Out of memory.");
    EXPECT_EQ(g_settings.m_strLastWallpaper, next);
    (void)busy;

    // The picture that failed is left out from now on.
    window->ChangeNow();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(g_settings.m_strLastWallpaper, next);
    EXPECT_EQ(box.Answered(), 1);
}

// Nothing may come over a running screen saver: it skips such a picture silently.
TEST_F(ShowWndTest, TheSaverSkipsAPictureThatRunsOutOfMemorySilently)
{
    g_settings.m_bFitToScreen = 1;
    ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(TallPicture(dir), "0", 0, 1),
                                        PictureRecord(Picture("next.bmp", 8, 8), "0", 0, 1)}));
    g_preparationsEnded = 0;
    CPreparationWorker::s_pfnPreparationEnded = CountPreparationEnded;
    MessageBoxAnswerer boxes;
    auto* saver = new CSaverWnd;
    window = saver;
    ASSERT_TRUE(saver->Create()); // its first picture at once
    hwnd = saver->m_hWnd;
    ASSERT_TRUE(PumpUntil([] { return g_preparationsEnded == 1; }, 20000));
    HandlePostedMessages();
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_FALSE(window->m_bLoaded);
    window->ChangeNow();
    ASSERT_TRUE(PumpUntil([] { return g_preparationsEnded == 2; }, 20000));
    HandlePostedMessages();
    EXPECT_TRUE(window->m_bLoaded);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_TRUE(::IsWindow(hwnd));
}

namespace {
// The desktop and the settings as a failed change must leave them.
struct DesktopState {
    std::string wallpaper, lastWallpaper;
    int32_t lastChange = 0;
    static DesktopState Now()
    {
        DesktopState state;
        ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &state.wallpaper);
        state.lastWallpaper = g_settings.m_strLastWallpaper;
        state.lastChange = g_settings.m_timeLastChange;
        return state;
    }
    bool operator==(const DesktopState& o) const
    {
        return wallpaper == o.wallpaper && lastWallpaper == o.lastWallpaper && lastChange == o.lastChange;
    }
};
std::string CurrentDirectoryFile(const char* name)
{
    char dir[MAX_PATH] = "";
    ::GetCurrentDirectoryA(MAX_PATH, dir);
    return std::string(dir) + "\\" + name;
}
} // namespace

TEST_F(ShowWndTest, FailedWallpaperWriteChangesNothing)
{
    std::string first = Picture("first.bmp", 8, 8, 1), second = Picture("second.bmp", 8, 8, 2);
    StartChanger({PictureRecord(first), PictureRecord(second)});
    DoubleClick();
    ASSERT_EQ(g_settings.m_strLastWallpaper, first);
    const std::string good = ReadWholeFile(WallpaperFile());

    // Something that cannot be replaced by a file stands in the wallpaper's place.
    ASSERT_TRUE(::DeleteFileA(WallpaperFile().c_str()));
    ASSERT_TRUE(::CreateDirectoryA(WallpaperFile().c_str(), nullptr));
    g_fakeNow += 3600;
    const DesktopState before = DesktopState::Now();
    DoubleClick();
    const int32_t expectedLastChange = static_cast<int32_t>(g_fakeNow - 11 * 60); // ChangeNow's setting
    EXPECT_EQ(g_settings.m_strLastWallpaper, first);
    EXPECT_EQ(g_settings.m_timeLastChange, expectedLastChange);
    std::string wallpaper;
    ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &wallpaper);
    EXPECT_EQ(wallpaper, before.wallpaper);
    EXPECT_FALSE(FileExists(WallpaperFile() + ".tmp"));
    ASSERT_TRUE(::RemoveDirectoryA(WallpaperFile().c_str()));

    // A complete file replaces the previous one in one step. The picture that could not be
    // written was not shown, so the sequence tries it again.
    DoubleClick();
    EXPECT_EQ(g_settings.m_strLastWallpaper, second);
    DoubleClick();
    EXPECT_EQ(g_settings.m_strLastWallpaper, first);
    EXPECT_EQ(ReadWholeFile(WallpaperFile()), good);
    EXPECT_FALSE(FileExists(WallpaperFile() + ".tmp"));
}

// A temporary folder that cannot be used changes nothing, and no wallpaper file lands in the
// current directory instead. (One too long for the desktop is also told, once.)
TEST_F(ShowWndTest, UnusableTemporaryFolderChangesNothing)
{
    char saved[MAX_PATH + 1] = "";
    const DWORD savedLength = ::GetEnvironmentVariableA("TMP", saved, sizeof saved);
    const std::string missing = dir + "\\no such folder\\";
    const std::string tooLong = "C:\\" + std::string(300, 'x') + "\\";
    for (const std::string& tmp : {missing, tooLong, std::string("relative\\")}) {
        SCOPED_TRACE(tmp);
        ::SetEnvironmentVariableA("TMP", tmp.c_str());
        StartChanger({PictureRecord(Picture("a.bmp", 8, 8))});
        const DesktopState before = DesktopState::Now();
        MessageBoxAnswerer boxes;
        DoubleClick();
        HandlePostedMessages();
        EXPECT_EQ(boxes.Texts().size(), tmp == tooLong ? 1u : 0u);
        std::string wallpaper;
        ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &wallpaper);
        EXPECT_EQ(wallpaper, before.wallpaper);
        EXPECT_EQ(g_settings.m_strLastWallpaper, "");
        EXPECT_FALSE(FileExists(CurrentDirectoryFile("Murlavo Wallpaper.bmp")));
        EXPECT_FALSE(FileExists(CurrentDirectoryFile("Murlavo Wallpaper.bmp.tmp")));
        ::DestroyWindow(hwnd);
        window = nullptr;
    }
    ::SetEnvironmentVariableA("TMP", savedLength ? saved : nullptr);
}

// WM_PICTUREREADY lies in the application range: anyone may post it. Only the end of the
// window's own preparation counts.
TEST_F(ShowWndTest, StrayPictureReadyIsIgnored)
{
    std::string path = Picture("a.bmp", 8, 8);
    StartChanger({PictureRecord(path)});
    DeleteRegValue(HKEY_CURRENT_USER, kDesktop, "Wallpaper");
    // Before any change: no empty path handed to the desktop (that would remove its wallpaper).
    ::PostMessageA(hwnd, WM_PICTUREREADY, 0, 0);
    HandlePostedMessages();
    std::string wallpaper;
    EXPECT_FALSE(ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &wallpaper)) << wallpaper;
    EXPECT_EQ(g_settings.m_strLastWallpaper, "");

    // After a change: the last wallpaper is not applied again.
    DoubleClick();
    const int32_t applied = g_settings.m_timeLastChange;
    DeleteRegValue(HKEY_CURRENT_USER, kDesktop, "Wallpaper");
    g_fakeNow += 120;
    ::PostMessageA(hwnd, WM_PICTUREREADY, 0, 0);
    HandlePostedMessages();
    EXPECT_FALSE(ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &wallpaper)) << wallpaper;
    EXPECT_EQ(g_settings.m_timeLastChange, applied);
}

namespace {
// A scaling that really runs: the hook holds the first row until the abort flag is raised
// (or, with waitForAbort false, until the test lets it go).
struct ScaleGate {
    static HANDLE inside;   // set when the scaling reached its row loop
    static HANDLE release;  // set by the test
    static bool waitForAbort;
    static std::atomic<bool> sawAbort;
    static std::atomic<int> sequence;
    static std::atomic<int> threadEndedAt;
    static std::atomic<int> windowDeletedAt;

    static void RowDone(int32_t)
    {
        if (::WaitForSingleObject(inside, 0) == WAIT_OBJECT_0)
            return; // only the first row waits
        ::SetEvent(inside);
        if (waitForAbort) {
            const DWORD start = ::GetTickCount();
            while (!g_bAbortImageWork && ::GetTickCount() - start < 3000)
                ::Sleep(1);
            sawAbort = g_bAbortImageWork != 0;
        } else {
            ::WaitForSingleObject(release, 20000);
        }
    }
    static void Ended() { threadEndedAt = ++sequence; }
};
HANDLE ScaleGate::inside = nullptr;
HANDLE ScaleGate::release = nullptr;
bool ScaleGate::waitForAbort = true;
std::atomic<bool> ScaleGate::sawAbort {false};
std::atomic<int> ScaleGate::sequence {0};
std::atomic<int> ScaleGate::threadEndedAt {0};
std::atomic<int> ScaleGate::windowDeletedAt {0};

class CProbeShowWnd : public CShowWnd {
public:
    ~CProbeShowWnd() override { ScaleGate::windowDeletedAt = ++ScaleGate::sequence; }
};

class ShowWndGateTest : public ShowWndTest {
protected:
    void SetUp() override
    {
        ShowWndTest::SetUp();
        ScaleGate::inside = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ScaleGate::release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ScaleGate::waitForAbort = true;
        ScaleGate::sawAbort = false;
        ScaleGate::sequence = 0;
        ScaleGate::threadEndedAt = 0;
        ScaleGate::windowDeletedAt = 0;
        CPictureImage::s_pfnScaleRowDone = ScaleGate::RowDone;
        CPreparationWorker::s_pfnPreparationEnded = ScaleGate::Ended;
        savedStopWait = CPreparationWorker::s_dwStopWaitMs;
    }
    DWORD savedStopWait = 0;
    void TearDown() override
    {
        ::SetEvent(ScaleGate::release);
        PumpUntil([] { return ScaleGate::threadEndedAt != 0; }, 20000);
        CPictureImage::s_pfnScaleRowDone = nullptr;
        CPreparationWorker::s_pfnPreparationEnded = nullptr;
        CPreparationWorker::s_dwStopWaitMs = savedStopWait;
        ::CloseHandle(ScaleGate::inside);
        ::CloseHandle(ScaleGate::release);
        ShowWndTest::TearDown();
    }
    // A changer whose one picture is being scaled, held inside the row loop. A JPEG file is
    // scaled as it is decoded, a bitmap file after it was loaded whole.
    void StartScaling(int resample, const char* name = "big.bmp")
    {
        g_settings.m_bFitToScreen = 1;
        ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(Picture(name, 640, 480), "0", 1, resample)}));
        g_bShowRole = false;
        window = new CProbeShowWnd;
        ASSERT_TRUE(window->CreateHidden());
        hwnd = window->m_hWnd;
        DeleteRegValue(HKEY_CURRENT_USER, kDesktop, "Wallpaper");
        window->ChangeNow();
        ASSERT_TRUE(window->Preparation().Busy());
        ASSERT_EQ(::WaitForSingleObject(ScaleGate::inside, 20000), WAIT_OBJECT_0);
    }
};
} // namespace

// Closing while a scale really runs: the destroy step raises the flag, waits for the thread,
// writes nothing, and the object goes only after the thread has ended. Both scalers, on a
// picture loaded whole (bitmap) and one scaled as it is decoded (JPEG).
TEST_F(ShowWndGateTest, ClosingDuringARunningScaleWaitsAndWritesNothing)
{
    for (const char* name : {"big.bmp", "big.jpg"}) {
        for (int resample : {0, 1}) {
            SCOPED_TRACE(std::string(name) + (resample ? " resample" : " resize"));
            ::ResetEvent(ScaleGate::inside);
            ScaleGate::threadEndedAt = ScaleGate::windowDeletedAt = ScaleGate::sequence = 0;
            StartScaling(resample, name);
            ::DestroyWindow(hwnd);
            window = nullptr;
            EXPECT_TRUE(ScaleGate::sawAbort);
            ASSERT_NE(ScaleGate::threadEndedAt, 0);
            ASSERT_NE(ScaleGate::windowDeletedAt, 0);
            EXPECT_LT(ScaleGate::threadEndedAt, ScaleGate::windowDeletedAt);
            EXPECT_EQ(g_bAbortImageWork.load(), 0);
            HandlePostedMessages();
            EXPECT_FALSE(FileExists(WallpaperFile()));
            EXPECT_FALSE(FileExists(WallpaperFile() + ".tmp"));
            std::string wallpaper;
            EXPECT_FALSE(ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &wallpaper)) << wallpaper;
            EXPECT_EQ(g_settings.m_strLastWallpaper, "");
        }
    }
}

// A starved or stuck preparation thread does not hold the window's thread: the destroy step
// waits within a bound, and the thread, let go later, finds its picture alive and writes and
// posts nothing.
TEST_F(ShowWndGateTest, DestroyWaitsForAStuckThreadOnlyWithinItsBound)
{
    ScaleGate::waitForAbort = false;
    CPreparationWorker::s_dwStopWaitMs = 300;
    StartScaling(0);
    const DWORD start = ::GetTickCount();
    ::DestroyWindow(hwnd);
    window = nullptr;
    EXPECT_LT(::GetTickCount() - start, 5000u);
    EXPECT_NE(ScaleGate::windowDeletedAt, 0);
    EXPECT_EQ(ScaleGate::threadEndedAt, 0); // still held
    ::SetEvent(ScaleGate::release);
    ASSERT_TRUE(PumpUntil([] { return ScaleGate::threadEndedAt != 0; }, 20000));
    EXPECT_FALSE(FileExists(WallpaperFile()));
    std::string wallpaper;
    EXPECT_FALSE(ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &wallpaper)) << wallpaper;
}

// A stray WM_PICTUREREADY while the thread still owns the picture must not end the
// preparation early (the window would touch the picture, or start a second thread on it); a
// tick meanwhile is dropped without choosing.
TEST_F(ShowWndGateTest, StrayPictureReadyAndTicksDuringAPreparationAreIgnored)
{
    ScaleGate::waitForAbort = false;
    StartScaling(0);
    ::PostMessageA(hwnd, WM_PICTUREREADY, 0, 0);
    HandlePostedMessages();
    EXPECT_TRUE(window->Preparation().Busy());
    EXPECT_EQ(window->Preparation().Picture(), nullptr);
    const int32_t next = window->Changer().NextWallpaperIndex();
    window->ChangeNow(); // dropped: still busy
    EXPECT_EQ(window->Changer().NextWallpaperIndex(), next);
    EXPECT_FALSE(FileExists(WallpaperFile()));
    ::SetEvent(ScaleGate::release);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(g_settings.m_strLastWallpaper, dir + "\\big.bmp");
    EXPECT_TRUE(FileExists(WallpaperFile()));
}

namespace {
double NowMs()
{
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * double(counter.QuadPart) / double(frequency.QuadPart);
}

// The processor time this thread has used: unlike the clock, it does not grow while other
// processes of a busy machine have the processor.
double ThreadCpuMs()
{
    FILETIME created, ended, kernel, user;
    ::GetThreadTimes(::GetCurrentThread(), &created, &ended, &kernel, &user);
    auto ms = [](const FILETIME& t) { return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0; };
    return ms(kernel) + ms(user);
}
} // namespace

// A 24-megapixel photo is decoded, fitted and written on the preparation thread: the
// window's thread goes on handling its messages, none of them taking more than 50 ms.
TEST_F(ShowWndTest, WindowStaysResponsiveWhileALargePhotoIsPrepared)
{
    const std::string photo = Picture("photo.jpg", 6000, 4000, 5);
    g_settings.m_bFitToScreen = 1;
    StartChanger({PictureRecord(photo, "0", 1, 0)});

    double longest = 0;
    const double start = NowMs();
    window->ChangeNow();
    longest = NowMs() - start;
    ASSERT_TRUE(window->Preparation().Busy());
    // Something to handle all along: a timer every 10 ms.
    ::SetTimer(hwnd, 77, 10, nullptr);
    int handled = 0;
    while (window->Preparation().Busy() && NowMs() - start < 60000) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            const double before = NowMs();
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
            longest = std::max(longest, NowMs() - before);
            ++handled;
        }
    }
    const double total = NowMs() - start;
    ::KillTimer(hwnd, 77);
    ASSERT_FALSE(window->Preparation().Busy());
    EXPECT_EQ(g_settings.m_strLastWallpaper, photo);
    EXPECT_GT(handled, 3);
    EXPECT_LT(longest, 50.0);
    // The measure means something only where decoding alone would block longer than that.
    CPictureImage direct;
    const double decodeStart = NowMs();
    ASSERT_TRUE(direct.LoadFile(photo.c_str()));
    const double decode = NowMs() - decodeStart;
    EXPECT_GT(decode, 50.0) << "decoding is too quick here for this test to tell anything";
    std::printf("longest message %.1f ms while the preparation took %.0f ms (%d messages); decoding alone %.0f ms\n",
                longest, total, handled, decode);
}

namespace {
// A memory device context over a 32-bit top-down DIB section, whose pixels can be read.
struct MemoryCanvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint32_t* pixels = nullptr;
    int width = 0;
    MemoryCanvas(int w, int h) : width(w)
    {
        BITMAPINFO info {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        HDC screen = ::GetDC(nullptr);
        dc = ::CreateCompatibleDC(screen);
        void* bits = nullptr;
        bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        ::ReleaseDC(nullptr, screen);
        pixels = static_cast<uint32_t*>(bits);
        previous = ::SelectObject(dc, bitmap);
    }
    ~MemoryCanvas()
    {
        ::SelectObject(dc, previous);
        ::DeleteObject(bitmap);
        ::DeleteDC(dc);
    }
    // As a colour value 0x00BBGGRR.
    COLORREF At(int x, int y) const
    {
        const uint32_t p = pixels[y * width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

COLORREF PatternColour(int x, int yFromTop, int h, int seed)
{
    unsigned char bgr[3];
    PatternPixel(x, h - 1 - yFromTop, seed, bgr);
    return RGB(bgr[2], bgr[1], bgr[0]);
}
} // namespace

class ShowWndPaintTest : public ShowWndTest {
protected:
    // A show window holding one loaded picture, ready to paint.
    void Load(const std::string& path, const char* tile)
    {
        ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(path, tile, 0, 0)}));
        parent = ::CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
        window = new CShowWnd;
        RECT rect {0, 0, 200, 200};
        ASSERT_TRUE(window->CreateAsChild(rect, parent));
        hwnd = window->m_hWnd;
        ASSERT_TRUE(PumpUntil([this] { return window->m_bLoaded && !window->Preparation().Busy(); }, 20000));
    }
    void TearDown() override
    {
        if (parent)
            ::DestroyWindow(parent);
        window = nullptr;
        ShowWndTest::TearDown();
    }
    HWND parent = nullptr;
};

TEST_F(ShowWndPaintTest, CentredPictureFullScreenAndInThePreview)
{
    ASSERT_EQ(::GetSystemMetrics(SM_CXSCREEN), 1024);
    ASSERT_EQ(::GetSystemMetrics(SM_CYSCREEN), 768);
    g_settings.m_crBkgndColor = RGB(0, 0, 255);
    Load(Picture("centre.bmp", 800, 600, 4), "0");

    MemoryCanvas full(1024, 768);
    window->PaintShow(full.dc, 1024, 768);
    // At its own size at (112, 84), on the background.
    EXPECT_EQ(full.At(111, 84), RGB(0, 0, 255));
    EXPECT_EQ(full.At(112, 83), RGB(0, 0, 255));
    EXPECT_EQ(full.At(912, 684), RGB(0, 0, 255));
    for (int y : {0, 1, 300, 599})
        for (int x : {0, 1, 400, 799})
            EXPECT_EQ(full.At(112 + x, 84 + y), PatternColour(x, y, 600, 4)) << x << "," << y;

    // The preview: 118 x 87 at (17, 12).
    MemoryCanvas preview(152, 112);
    window->PaintShow(preview.dc, 152, 112);
    EXPECT_EQ(preview.At(16, 50), RGB(0, 0, 255));
    EXPECT_NE(preview.At(17, 50), RGB(0, 0, 255));
    EXPECT_NE(preview.At(134, 50), RGB(0, 0, 255));
    EXPECT_EQ(preview.At(135, 50), RGB(0, 0, 255));
    EXPECT_EQ(preview.At(60, 11), RGB(0, 0, 255));
    EXPECT_NE(preview.At(60, 12), RGB(0, 0, 255));
    EXPECT_NE(preview.At(60, 98), RGB(0, 0, 255));
    EXPECT_EQ(preview.At(60, 99), RGB(0, 0, 255));
}

// Tiles start at the top-left corner at the picture's own size, whether drawn one by one
// (six 100 x 100 tiles) or through the pattern brush (thousands of 3 x 2 tiles).
TEST_F(ShowWndPaintTest, TilesCoverTheAreaFromTheTopLeftCorner)
{
    for (int size : {100, 3}) {
        const int w = size, h = size == 3 ? 2 : 100;
        SCOPED_TRACE(w);
        Load(Picture(size == 3 ? "small.bmp" : "tile.bmp", w, h, 6), "1");
        MemoryCanvas canvas(250, 150);
        window->PaintShow(canvas.dc, 250, 150);
        int wrong = 0;
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 250; ++x)
                wrong += canvas.At(x, y) != PatternColour(x % w, y % h, h, 6);
        EXPECT_EQ(wrong, 0);
        ::DestroyWindow(parent);
        parent = nullptr;
    }
}

TEST_F(ShowWndPaintTest, ATinyTileOnALargeScreenPaintsQuickly)
{
    Load(Picture("dot.bmp", 1, 1, 7), "1");
    MemoryCanvas canvas(3840, 2160);
    const double start = ThreadCpuMs();
    window->PaintShow(canvas.dc, 3840, 2160);
    const double took = ThreadCpuMs() - start;
    // Millions of separate tiles take seconds.
    EXPECT_LT(took, 250.0);
    std::printf("a 1 x 1 tile painted over 3840 x 2160 in %.1f ms\n", took);
    const COLORREF dot = PatternColour(0, 0, 1, 7);
    EXPECT_EQ(canvas.At(0, 0), dot);
    EXPECT_EQ(canvas.At(3839, 2159), dot);
    EXPECT_EQ(canvas.At(1917, 1013), dot);
}

namespace {
// Pictures in folders whose names code page 1252 cannot hold, one of them more than 300
// characters deep, and a temporary folder named so as well.
class ShowWndNamesTest : public ShowWndTest {
protected:
    void SetUp() override
    {
        ShowWndTest::SetUp();
        ASSERT_TRUE(AnsiCodePageLacksTheNames()) << "the test needs an ANSI code page without these names";
        root = dir + "\\" + kJapaneseFolder;
        DeleteWideTree(root);
        ASSERT_TRUE(MakeWideFolder(root));
        temp = root + "\\" + kPolishFolder + " " + kRussianFolder;
        ASSERT_TRUE(MakeWideFolder(temp));
        const std::string deep = MakeDeepFolder(root, 300);
        ASSERT_FALSE(deep.empty());
        jpeg = root + "\\" + kSunsetName + ".jpg";
        bitmap = deep + "\\" + kSunsetName + " " + kRussianFolder + ".bmp";
        tga = root + "\\" + kRussianFolder + ".tga";
        ASSERT_TRUE(CopyFileTo(Picture("plain.jpg", 64, 48, 1), jpeg));
        ASSERT_TRUE(CopyFileTo(Picture("plain.bmp", 37, 21, 2), bitmap));
        ASSERT_TRUE(CopyFileTo(Picture("plain.tga", 30, 20, 3), tga));
    }
    void TearDown() override
    {
        ShowWndTest::TearDown();
        DeleteWideTree(root);
    }
    std::string root, temp, jpeg, bitmap, tga;
};

// The bitmap a wallpaper change wrote, read by its wide name.
BitmapFile WrittenWallpaper(const std::string& path)
{
    BitmapFile file;
    const std::string data = ReadFileBytes(path);
    if (data.size() >= 54 && data.compare(0, 2, "BM") == 0) {
        file.width = *reinterpret_cast<const int32_t*>(&data[18]);
        file.height = *reinterpret_cast<const int32_t*>(&data[22]);
        file.pixels = data.substr(54);
    }
    return file;
}
} // namespace

// Every picture becomes the wallpaper, written to the temporary folder of such a name and
// handed to the desktop by that name; the picture's own path is recorded as it is.
TEST_F(ShowWndNamesTest, PicturesOfAnyNameAndDepthBecomeTheWallpaperFromATemporaryFolderOfAnyName)
{
    ScopedTempFolder scoped(temp);
    const std::string wallpaper = temp + "\\Murlavo Wallpaper.bmp";
    StartChanger({PictureRecord(jpeg, "0"), PictureRecord(bitmap, "1"), PictureRecord(tga, "0")});
    EXPECT_EQ(window->Changer().WallpaperPath(), wallpaper);
    EXPECT_EQ(g_settings.m_strTempImage, wallpaper);
    struct Expected {
        const std::string& path;
        int width, height;
        const char* tile;
    };
    for (const Expected& e : {Expected {jpeg, 64, 48, "0"}, Expected {bitmap, 37, 21, "1"}, Expected {tga, 30, 20, "0"}}) {
        SCOPED_TRACE(e.path);
        DeleteRegValue(HKEY_CURRENT_USER, kDesktop, "Wallpaper");
        DoubleClick();
        EXPECT_EQ(g_settings.m_strLastWallpaper, e.path);
        std::string applied, tile;
        ASSERT_TRUE(ReadDesktopWallpaper(&applied));
        EXPECT_EQ(applied, wallpaper);
        ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kDesktop, "TileWallpaper", &tile));
        EXPECT_EQ(tile, e.tile);
        const BitmapFile file = WrittenWallpaper(wallpaper);
        EXPECT_EQ(file.width, e.width);
        EXPECT_EQ(file.height, e.height);
        EXPECT_FALSE(WideFileExists(wallpaper + ".tmp"));
    }
    // The deep bitmap's pixels, exactly (the JPEG file is lossy).
    window->ChangeNow();
    ASSERT_TRUE(WaitIdle());
    window->ChangeNow();
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(g_settings.m_strLastWallpaper, bitmap);
    const BitmapFile file = WrittenWallpaper(wallpaper);
    for (int y : {0, 20})
        for (int x : {0, 17, 36}) {
            unsigned char bgr[3];
            PatternPixel(x, y, 2, bgr);
            EXPECT_EQ(0, memcmp(file.Pixel(x, y), bgr, 3)) << x << "," << y;
        }
}

// The preview plays such pictures as well.
TEST_F(ShowWndNamesTest, ThePreviewPlaysPicturesOfAnyNameAndDepth)
{
    ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(bitmap), PictureRecord(jpeg), PictureRecord(tga)}));
    HWND parent = ::CreateWindowExW(0, L"STATIC", L"preview parent", WS_POPUP | WS_VISIBLE, 0, 0, 152, 112, nullptr,
                                    nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    window = new CShowWnd;
    RECT rect {0, 0, 152, 112};
    ASSERT_TRUE(window->CreateAsChild(rect, parent));
    hwnd = window->m_hWnd;
    for (SIZE size : {SIZE {37, 21}, SIZE {64, 48}, SIZE {30, 20}}) {
        ASSERT_TRUE(PumpUntil([this] { return !window->Preparation().Busy() && window->Preparation().Picture(); }, 20000));
        EXPECT_TRUE(window->m_bLoaded);
        EXPECT_EQ(window->Preparation().Picture()->m_nWidth, size.cx);
        EXPECT_EQ(window->Preparation().Picture()->m_nHeight, size.cy);
        window->ChangeNow();
    }
    ::DestroyWindow(parent);
    window = nullptr;
}

namespace {
// The text of each message box this thread shows, read as wide text, and the box's owner.
struct WideBoxes {
    std::vector<std::string> texts;
    std::vector<HWND> owners;
    DialogAnswerer answerer {"Murlavo", [this](HWND box) {
                                 wchar_t text[1024] = L"";
                                 ::GetDlgItemTextW(box, 0xFFFF, text, 1024);
                                 texts.push_back(Utf8(text));
                                 owners.push_back(::GetWindow(box, GW_OWNER));
                                 ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                             }};
};
} // namespace

// A temporary folder whose path leaves the wallpaper's path longer than the desktop takes (one
// just too long, and one the system does not give at all): no change, and the user is told once,
// by the window, when a change is due and no screen saver runs.
TEST_F(ShowWndNamesTest, ATemporaryFolderTooLongForTheDesktopIsToldOnceWhenAChangeIsDue)
{
    const std::string nearly = temp + "\\" + std::string(250 - Wide(temp).size() - 1, 't');
    ASSERT_EQ(Wide(nearly).size(), 250u); // with its "\" and the bitmap's name: 272 characters
    ASSERT_TRUE(MakeWideFolder(nearly));
    const std::string beyond = MakeDeepFolder(temp, 300);
    ASSERT_FALSE(beyond.empty());
    for (const std::string& folder : {nearly, beyond}) {
        SCOPED_TRACE(Wide(folder).size());
        ScopedTempFolder scoped(folder);
        WideBoxes boxes;
        StartChanger({PictureRecord(jpeg)});
        EXPECT_EQ(window->Changer().WallpaperPath(), "");
        const DesktopState before = DesktopState::Now();

        // The minute's tick before the interval has passed: no change was due.
        g_settings.m_timeLastChange = static_cast<int32_t>(g_fakeNow);
        ::SendMessageW(hwnd, WM_TIMER, kShowTimerId, 0);
        HandlePostedMessages();
        EXPECT_TRUE(boxes.texts.empty());
        // While a screen saver runs, nothing comes over it.
        ::SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, TRUE, nullptr, 0);
        DoubleClick();
        HandlePostedMessages();
        ::SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, FALSE, nullptr, 0);
        EXPECT_TRUE(boxes.texts.empty());

        DoubleClick();
        ASSERT_TRUE(PumpUntil([&] { return !boxes.texts.empty(); }, 20000));
        HandlePostedMessages();
        DoubleClick();
        HandlePostedMessages();
        ASSERT_EQ(boxes.texts.size(), 1u);
        EXPECT_EQ(boxes.owners[0], hwnd);
        EXPECT_NE(boxes.texts[0].find("temporary folder is too long"), std::string::npos) << boxes.texts[0];
        EXPECT_NE(boxes.texts[0].find(folder), std::string::npos) << boxes.texts[0];
        EXPECT_EQ(DesktopState::Now().wallpaper, before.wallpaper);
        EXPECT_EQ(g_settings.m_strLastWallpaper, "");
        EXPECT_FALSE(WideFileExists(folder + "\\Murlavo Wallpaper.bmp"));
        ::DestroyWindow(hwnd);
        window = nullptr;
    }
}
