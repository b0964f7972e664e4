// The writes that hold user data in the Windows program, failing at every step in turn through
// the file layer's test hook: the library save of the Settings dialog and the wallpaper the show
// window writes. After each failure the previous file is whole and readable, no temporary file
// is left, and nothing reports success.
#include "FileFaultProbe.h"
#include "app/Globals.h"
#include "image/AbortFlag.h"
#include "image/Bitmap.h"
#include "library/Library.h"
#include "library/LibraryFile.h"
#include "library/Settings.h"
#include "show/ShowWnd.h"
#include "support/Fixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const char kDesktop[] = "Control Panel\\Desktop";

class FileFaultWin32Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(FileExists(UserLibraryPath())) << "a per-user library is left from elsewhere";
        DeleteLibrary();
    }
    void TearDown() override
    {
        g_pfnFileFault = nullptr;
        DeleteLibrary();
        ::DeleteFileA((LibraryPath() + ".tmp").c_str());
    }
};

bool SaveLibrary(const char* picture)
{
    CWallpaperObject playlist("Playing", 0), record(picture, 1);
    return SavePictureLibraryFile({{&playlist, true}, {&record, false}}, 1, true, nullptr);
}

std::string ShownPicture(const std::string& path)
{
    CWallpaperList list;
    if (!ReadShowList(path.c_str(), list) || list.size() != 1)
        return "";
    return list[0]->m_strPath;
}

TEST_F(FileFaultWin32Test, LibrarySaveFailingAtAnyStepKeepsTheOldLibrary)
{
    ASSERT_TRUE(SaveLibrary("C:\\old.bmp"));
    const std::string path = LibraryPath();
    const std::string oldBytes = ReadWholeFile(path);
    std::vector<FileStep> steps;
    {
        FileFaultProbe record;
        ASSERT_TRUE(SaveLibrary("C:\\new.bmp"));
        steps = record.Steps();
    }
    EXPECT_TRUE(FileFaultProbe::HasEveryKind(steps));
    ASSERT_TRUE(SaveLibrary("C:\\old.bmp"));

    for (size_t k = 0; k < steps.size(); ++k) {
        SCOPED_TRACE(std::string("failing step ") + std::to_string(k) + ": " + StepName(steps[k]));
        {
            FileFaultProbe fail {int(k)};
            EXPECT_FALSE(SaveLibrary("C:\\new.bmp"));
        }
        EXPECT_EQ(ReadWholeFile(path), oldBytes);
        EXPECT_EQ(ShownPicture(path), "C:\\old.bmp");
        EXPECT_FALSE(FileExists(path + ".tmp"));
        EXPECT_FALSE(FileExists(UserLibraryPath())) << "a failed save moved the library";
    }
}

class WallpaperFaultTest : public FileFaultWin32Test {
protected:
    void SetUp() override
    {
        FileFaultWin32Test::SetUp();
        g_settings = CChangerSettings();
        g_settings.m_nInterval = 10;
        g_settings.m_nOrder = 1;
        g_settings.m_nSlideShow = 5;
        g_settings.m_nScaleMethod = 1;
        g_bAbortImageWork = 0;
        ::DeleteFileA(WallpaperFile().c_str());
        dir = ScratchDir("wallpaper_faults");
        // Only the wallpaper's own file steps are counted and failed here.
        CWallpaperChanger::s_pfnRecordPath = nullptr;
    }
    void TearDown() override
    {
        CWallpaperChanger::s_pfnRecordPath = savedRecordPath;
        g_pfnFileFault = nullptr;
        if (window && ::IsWindow(hwnd))
            ::DestroyWindow(hwnd);
        g_bShowRole = true;
        FileFaultWin32Test::TearDown();
    }
    // A wallpaper changer over a library of this one picture.
    bool StartChanger(const std::string& picture)
    {
        if (window && ::IsWindow(hwnd))
            ::DestroyWindow(hwnd);
        if (!WriteNowPlayingLibrary({PictureRecord(picture)}))
            return false;
        g_bShowRole = false;
        window = new CShowWnd;
        hwnd = window->CreateHidden() ? window->m_hWnd : nullptr;
        return hwnd != nullptr;
    }
    // Double click on the notification-area icon: the picture is prepared, written and
    // applied; waits until the window is idle again.
    bool Change()
    {
        ::SendMessageA(hwnd, WM_TRAYNOTIFY, kTrayIconId, WM_LBUTTONDBLCLK);
        return PumpUntil([this] { return !window->Preparation().Busy(); }, 20000);
    }

    std::string dir;
    CShowWnd* window = nullptr;
    HWND hwnd = nullptr;
    std::string (*savedRecordPath)() = CWallpaperChanger::s_pfnRecordPath;
};

TEST_F(WallpaperFaultTest, WallpaperWriteFailingAtAnyStepKeepsTheOldWallpaper)
{
    const std::string first = dir + "\\first.bmp", second = dir + "\\second.bmp";
    ASSERT_TRUE(WritePatternPicture(first, 8, 6, 1));
    ASSERT_TRUE(WritePatternPicture(second, 12, 9, 2));
    ASSERT_TRUE(StartChanger(first));
    ASSERT_TRUE(Change());
    ASSERT_EQ(g_settings.m_strLastWallpaper, first);
    const std::string oldBytes = ReadWholeFile(WallpaperFile());
    std::string wallpaper;
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &wallpaper));

    // Every change now goes to the second picture, whose write fails at step k.
    ASSERT_TRUE(StartChanger(second));
    std::vector<FileStep> steps;
    for (size_t k = 0;; ++k) {
        SCOPED_TRACE("failing step " + std::to_string(k));
        {
            FileFaultProbe fail {int(k)};
            ASSERT_TRUE(Change());
            steps = fail.Steps();
        }
        if (k >= steps.size())
            break; // nothing failed: this change went through
        EXPECT_EQ(g_settings.m_strLastWallpaper, first) << StepName(steps[k]);
        EXPECT_EQ(ReadWholeFile(WallpaperFile()), oldBytes) << StepName(steps[k]);
        BitmapFileLayout layout;
        EXPECT_TRUE(ReadBitmapFileLayout(WallpaperFile().c_str(), layout));
        EXPECT_EQ(layout.header.width, 8);
        EXPECT_FALSE(FileExists(WallpaperFile() + ".tmp"));
        std::string now;
        ReadRegString(HKEY_CURRENT_USER, kDesktop, "Wallpaper", &now);
        EXPECT_EQ(now, wallpaper);
        ASSERT_LT(k, 20u) << "the write never completes";
    }
    EXPECT_TRUE(FileFaultProbe::HasEveryKind(steps));
    EXPECT_EQ(g_settings.m_strLastWallpaper, second);
    BitmapFileLayout layout;
    ASSERT_TRUE(ReadBitmapFileLayout(WallpaperFile().c_str(), layout));
    EXPECT_EQ(layout.header.width, 12);
}

} // namespace
