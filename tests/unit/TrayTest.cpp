// The wallpaper changer's notification icon in-process: its menu (the live menu read back), the
// commands, the full-screen show and its end, Settings from the icon or from another process,
// Help, the icon tried again until the taskbar takes it and after the shell restarts, the end
// of the session, and the help documents themselves.
#include "app/ChangerApp.h"
#include "app/Globals.h"
#include "app/WindowNames.h"
#include "image/AbortFlag.h"
#include "library/Library.h"
#include "library/LibraryFile.h"
#include "library/Settings.h"
#include "platform/Desktop.h"
#include "framework/Dpi.h"
#include "framework/Handles.h"
#include "platform/Monitors.h"
#include "resource.h"
#include "settings/SettingsDlg.h"
#include "show/ShowWnd.h"
#include "show/SystemStateWin32.h"
#include "support/Fixtures.h"
#include "support/TestSupport.h"
#include "unit/WidePictures.h"

#include <commctrl.h>
#include <richedit.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

// What the live menu showed: found from a timer of this thread while the menu's own loop runs,
// read through MN_GETHMENU, then closed.
struct MenuReader {
    static inline bool seen = false;
    static inline RECT place {};
    static inline std::string items;
    static inline UINT defaultId = 0;
    static inline HMENU menu = nullptr;
    static BOOL CALLBACK Find(HWND hwnd, LPARAM found)
    {
        char cls[16] = "";
        ::GetClassNameA(hwnd, cls, sizeof cls);
        if (!std::strcmp(cls, "#32768") && ::IsWindowVisible(hwnd)) {
            *reinterpret_cast<HWND*>(found) = hwnd;
            return FALSE;
        }
        return TRUE;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
    {
        HWND window = nullptr;
        ::EnumWindows(Find, reinterpret_cast<LPARAM>(&window));
        if (!window || seen)
            return;
        seen = true;
        ::GetWindowRect(window, &place);
        menu = reinterpret_cast<HMENU>(::SendMessageA(window, MN_GETHMENU, 0, 0));
        items.clear();
        for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
            char text[64] = "";
            ::GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
            const UINT id = ::GetMenuItemID(menu, i);
            items += (id == 0 ? std::string("-") : std::to_string(id) + " " + text) + ";";
        }
        defaultId = ::GetMenuDefaultItem(menu, FALSE, 0);
        ::EndMenu();
    }
};

// Shell_NotifyIcon's stand-in: counts what the window asks of the shell and refuses the first
// g_iconRefusals adds and updates (a taskbar that is not ready).
std::vector<DWORD> g_iconCalls;
int g_iconRefusals = 0;
std::wstring g_iconTip;
BOOL WINAPI FakeNotifyIcon(DWORD message, NOTIFYICONDATAW* data)
{
    g_iconCalls.push_back(message);
    if (data->uFlags & NIF_TIP)
        g_iconTip = data->szTip;
    if (message == NIM_DELETE || g_iconRefusals == 0)
        return TRUE;
    --g_iconRefusals;
    return FALSE;
}

// SetThreadExecutionState's stand-in: keeps what the show asks of the system.
std::vector<EXECUTION_STATE> g_executionStates;
EXECUTION_STATE WINAPI FakeExecutionState(EXECUTION_STATE flags)
{
    g_executionStates.push_back(flags);
    return ES_CONTINUOUS;
}

COLORREF ScreenPixel(int x, int y)
{
    HDC screen = ::GetDC(nullptr);
    const COLORREF pixel = ::GetPixel(screen, x, y);
    ::ReleaseDC(nullptr, screen);
    return pixel;
}

// ShellExecute's stand-in: opens what exists.
std::vector<std::string> g_shellOpened;
INT_PTR FakeShellOpen(HWND, const wchar_t* path)
{
    g_shellOpened.push_back(Utf8(path));
    return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES ? 42 : SE_ERR_FNF;
}

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FreshProfile(app));
        app.m_bNewShell = TRUE;
        dir = ScratchDir("tray");
        g_settings = CChangerSettings();
        g_settings.m_nInterval = 10;
        g_settings.m_nOrder = 1;
        g_settings.m_nSlideShow = 5;
        g_settings.m_nScaleMethod = 1;
        // What the Settings dialog reads again when it opens.
        ASSERT_TRUE(app.WriteProfileInt("Changer", "Interval", 10));
        ASSERT_TRUE(app.WriteProfileInt("Changer", "Order", 1));
        ASSERT_TRUE(app.WriteProfileInt("Changer", "SlideShow", 5));
        ASSERT_TRUE(app.WriteProfileInt("Changer", "ScaleMethod", 1));
        ASSERT_TRUE(app.WriteProfileString("Changer", "TempImage", "C:\\stale\\old.bmp"));
        g_bAbortImageWork = 0;
        g_iconCalls.clear();
        g_iconRefusals = 0;
        g_iconTip.clear();
        g_shellOpened.clear();
        CTrayIcon::s_pfnShellNotifyIcon = FakeNotifyIcon;
        CTrayIcon::s_pfnShellOpen = FakeShellOpen;
        // The Settings dialog's questions (discard the edits? nothing Now Playing?) go on.
        realMessageBox = CSettingsDlg::s_pfnMessageBox;
        CSettingsDlg::s_pfnMessageBox = [](HWND, const char*, UINT type) {
            return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
        };
        g_executionStates.clear();
        CFullScreenShow::s_pfnSetThreadExecutionState = FakeExecutionState;
        saverActive = platform::GetScreenSaveActive();
        platform::SetScreenSaveActive(1);
    }
    void TearDown() override
    {
        if (window && ::IsWindow(hwnd))
            ::DestroyWindow(hwnd);
        g_bShowRole = true;
        CPictureImage::s_pfnScaleRowDone = nullptr;
        CTrayIcon::s_pfnShellNotifyIcon = ::Shell_NotifyIconW;
        CSettingsDlg::s_pfnMessageBox = realMessageBox;
        CTrayIcon::s_dwRetryMs = 2000;
        CPreparationWorker::s_pfnPreparationEnded = nullptr;
        CFullScreenShow::s_pfnSetThreadExecutionState = ::SetThreadExecutionState;
        platform::SetScreenSaveActive(saverActive);
        DeleteLibrary();
        DeleteKeyTree(HKEY_CURRENT_USER, kProfileKey);
    }

    std::string Picture(const char* name, int seed = 0)
    {
        std::string path = dir + "\\" + name;
        EXPECT_TRUE(WritePatternPicture(path, 40, 30, seed)) << path;
        return path;
    }
    // A wallpaper changer over the library "Animals" (Now Playing: cat, dog) and "Lake" (one).
    void StartChanger()
    {
        CWallpaperObject animals("Animals", 0), lake("Lake", 0);
        CWallpaperObject cat(Picture("cat.bmp", 1), 1), dog(Picture("dog.bmp", 2), 1), one(Picture("one.bmp", 3), 1);
        ASSERT_TRUE(SaveLibraryFile(LibraryPath().c_str(),
            {{&animals, true}, {&cat, false}, {&dog, false}, {&lake, false}, {&one, false}}, 1));
        ForgetRotation();
        g_bShowRole = false;
        window = new CShowWnd;
        ASSERT_TRUE(window->CreateHidden());
        hwnd = window->m_hWnd;
    }
    std::string ShowList() const
    {
        std::string names;
        for (const auto& record : window->Changer().List())
            names += record->m_strPath.substr(record->m_strPath.find_last_of('\\') + 1) + ";";
        return names;
    }
    bool WaitIdle() { return PumpUntil([this] { return !window->Preparation().Busy(); }, 20000); }
    void Command(UINT id) { ::SendMessageA(hwnd, WM_COMMAND, id, 0); }

    CChangerApp app;
    std::string dir;
    CShowWnd* window = nullptr;
    HWND hwnd = nullptr;
    int saverActive = 0;
    int (*realMessageBox)(HWND, const char*, UINT) = nullptr;
};
} // namespace

TEST_F(TrayTest, RightClickOpensTheMenuBesideThePointerWithNextInBold)
{
    StartChanger();
    ASSERT_TRUE(::SetCursorPos(300, 200));
    MenuReader::seen = false;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, MenuReader::OnTimer);
    EXPECT_EQ(::SendMessageA(hwnd, WM_TRAYNOTIFY, kTrayIconId, WM_RBUTTONUP), 1);
    ::KillTimer(nullptr, timer);
    ASSERT_TRUE(MenuReader::seen);
    EXPECT_EQ(MenuReader::place.left, 305);
    EXPECT_EQ(MenuReader::place.top, 205);
    EXPECT_EQ(MenuReader::items, "32779 &Next;32790 &Previous;32791 Pa&use;32780 &Murlavo;32771 &Settings...;-;57670 &Help;32772 &About;-;57665 &Close;");
    EXPECT_EQ(MenuReader::defaultId, UINT(ID_TRAY_NEXT));
    EXPECT_FALSE(::IsMenu(MenuReader::menu)); // destroyed afterwards
    // The other mouse messages are not the icon's business.
    EXPECT_EQ(::SendMessageA(hwnd, WM_TRAYNOTIFY, kTrayIconId, WM_LBUTTONDOWN), 0);

    // During the full-screen show there is no menu.
    Command(ID_TRAY_SHOW);
    ASSERT_TRUE(WaitIdle());
    MenuReader::seen = false;
    const UINT_PTR again = ::SetTimer(nullptr, 0, 10, MenuReader::OnTimer);
    ::SendMessageA(hwnd, WM_TRAYNOTIFY, kTrayIconId, WM_RBUTTONUP);
    ::SendMessageA(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(100, 100));
    HandlePostedMessages();
    ::KillTimer(nullptr, again);
    EXPECT_FALSE(MenuReader::seen);
}

// The whole screen is the show's client area (the hidden window's border lies outside it),
// and the display stays on until the show ends, however it ends.
TEST_F(TrayTest, FullScreenShowCoversTheScreenKeepsTheDisplayOnAndEscapeAloneEndsIt)
{
    const int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
    StartChanger();
    Command(ID_TRAY_SHOW);
    ASSERT_TRUE(WaitIdle());
    RECT rect, client;
    ::GetWindowRect(hwnd, &rect);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, sw);
    EXPECT_EQ(rect.bottom, sh);
    ::GetClientRect(hwnd, &client);
    POINT origin {0, 0};
    ::ClientToScreen(hwnd, &origin);
    EXPECT_EQ(client.right, sw);
    EXPECT_EQ(client.bottom, sh);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
    EXPECT_EQ(window->m_bShowMode, 1);
    EXPECT_TRUE(window->m_bLoaded); // the first picture at once
    EXPECT_EQ(window->Changer().NextSlideIndex(), 1);
    EXPECT_EQ(platform::GetScreenSaveActive(), 0);
    const EXECUTION_STATE on = ES_CONTINUOUS | ES_DISPLAY_REQUIRED;
    EXPECT_EQ(g_executionStates, std::vector<EXECUTION_STATE> {on});

    for (WPARAM key : {WPARAM('A'), WPARAM(VK_SPACE), WPARAM(VK_RETURN)})
        ::SendMessageA(hwnd, WM_KEYDOWN, key, 0);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_EQ(window->m_bShowMode, 1);

    ::SendMessageA(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    ::GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect.right - rect.left, 0);
    EXPECT_EQ(rect.bottom - rect.top, 0);
    EXPECT_EQ(window->m_bShowMode, 0);
    EXPECT_EQ(platform::GetScreenSaveActive(), 1);
    EXPECT_EQ(g_executionStates, (std::vector<EXECUTION_STATE> {on, ES_CONTINUOUS}));

    // Closed during the show: the screen saver and the display's timeout come back all the same.
    Command(ID_TRAY_SHOW);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(platform::GetScreenSaveActive(), 0);
    Command(ID_TRAY_CLOSE);
    EXPECT_TRUE(PumpUntil([this] { return !::IsWindow(hwnd); }, 5000));
    EXPECT_EQ(platform::GetScreenSaveActive(), 1);
    EXPECT_EQ(g_executionStates, (std::vector<EXECUTION_STATE> {on, ES_CONTINUOUS, on, ES_CONTINUOUS}));
}

// Two monitors: a 1024 x 600 desktop whose primary screen is the 600 x 400 part at (300, 100).
TEST_F(TrayTest, FullScreenShowCoversEveryMonitorWithThePictureOnThePrimaryScreen)
{
    struct LayoutHook {
        LayoutHook()
        {
            CShowWnd::s_pfnLayout = [] { return platform::FullScreenLayout {{0, 0, 1024, 600}, {300, 100, 900, 500}, {}}; };
        }
        ~LayoutHook() { CShowWnd::s_pfnLayout = platform::CurrentFullScreenLayout; }
    } hook;
    g_settings.m_crBkgndColor = RGB(0, 128, 255);
    StartChanger();
    Command(ID_TRAY_SHOW);
    ASSERT_TRUE(WaitIdle());
    RECT rect, client;
    ::GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 1024);
    EXPECT_EQ(rect.bottom, 600);
    ::GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 600);
    EXPECT_EQ(client.bottom, 400);
    POINT origin {0, 0};
    ::ClientToScreen(hwnd, &origin);
    EXPECT_EQ(origin.x, 300);
    EXPECT_EQ(origin.y, 100);
    EXPECT_EQ(::SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(50, 50)), HTCLIENT);
    // The other monitors show the background colour.
    for (POINT p : {POINT {5, 5}, POINT {1000, 300}, POINT {600, 580}})
        EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(p.x, p.y) == RGB(0, 128, 255); }, 10000)) << p.x << "," << p.y;

    // Ended, the hidden window is its own client area again.
    ::SendMessageA(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    ::GetWindowRect(hwnd, &rect);
    ::GetClientRect(hwnd, &client);
    EXPECT_EQ(rect.right - rect.left, 0);
    EXPECT_EQ(client.right, 0);
    EXPECT_NE(::SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(50, 50)), HTCLIENT);
}

TEST_F(TrayTest, NextAndAboutAndCloseFromTheMenu)
{
    StartChanger();
    Command(ID_TRAY_NEXT);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(g_settings.m_strLastWallpaper, dir + "\\cat.bmp");
    DialogAnswerer about("About Murlavo", [](HWND dlg) { ::PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0); });
    Command(ID_TRAY_ABOUT);
    EXPECT_EQ(about.Answered(), 1);
    Command(ID_TRAY_CLOSE);
    EXPECT_TRUE(PumpUntil([this] { return !::IsWindow(hwnd); }, 5000));
    // The change gave the icon a new tooltip.
    EXPECT_EQ(g_iconCalls, (std::vector<DWORD> {NIM_ADD, NIM_MODIFY, NIM_DELETE}));
}

TEST_F(TrayTest, SettingsCancelledChangesNothingAndKeepsTheChangersWallpaperPath)
{
    StartChanger();
    Command(ID_TRAY_NEXT);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(ShowList(), "cat.bmp;dog.bmp;");
    ASSERT_EQ(window->Changer().NextWallpaperIndex(), 1);

    // Cancel: nothing changes.
    DialogAnswerer cancel("Murlavo Settings", [](HWND dlg) { ::PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0); });
    Command(ID_TRAY_SETTINGS);
    EXPECT_EQ(cancel.Answered(), 1);
    EXPECT_EQ(ShowList(), "cat.bmp;dog.bmp;");
    EXPECT_EQ(window->Changer().NextWallpaperIndex(), 1);
    EXPECT_EQ(g_settings.m_strTempImage, WallpaperFile());
    EXPECT_EQ(g_settings.m_strLastWallpaper, dir + "\\cat.bmp");
}

TEST_F(TrayTest, OptionsOfACancelledSettingsDialogDoNotReachTheRunningChanger)
{
    StartChanger();
    ASSERT_EQ(g_settings.m_nInterval, 10);
    DialogAnswerer settings("Murlavo Settings", [](HWND dlg) {
        DialogAnswerer options("Options", [](HWND options) {
            ::SendMessageA(::GetDlgItem(options, IDC_HOURLY), BM_CLICK, 0, 0);
            ::PostMessageA(options, WM_COMMAND, IDOK, 0);
        });
        ::SendMessageA(::GetDlgItem(dlg, IDC_SETTINGS_OPTIONS), BM_CLICK, 0, 0); // returns when answered
        EXPECT_EQ(options.Answered(), 1);
        EXPECT_EQ(g_settings.m_nInterval, 10); // the dialog's copy changed, not the changer's
        ::PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    Command(ID_TRAY_SETTINGS);
    EXPECT_EQ(settings.Answered(), 1);
    EXPECT_EQ(g_settings.m_nInterval, 10);
}

// The window must outlive the dialog's loop, which returns into it.
TEST_F(TrayTest, WhileADialogIsOpenTheMenuBringsItForwardAndCloseEndsItFirst)
{
    StartChanger();
    DialogAnswerer settings("Murlavo Settings", [this](HWND dlg) {
        MenuReader::seen = false;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, MenuReader::OnTimer);
        ::SendMessageA(hwnd, WM_TRAYNOTIFY, kTrayIconId, WM_RBUTTONUP);
        ::KillTimer(nullptr, timer);
        EXPECT_FALSE(MenuReader::seen); // no second Settings, no Close under the dialog
        ::PostMessageA(hwnd, WM_CLOSE, 0, 0);
        EXPECT_TRUE(PumpUntil([dlg] { return !::IsWindowVisible(dlg); }, 5000));
    });
    Command(ID_TRAY_SETTINGS);
    EXPECT_EQ(settings.Answered(), 1);
    EXPECT_TRUE(::IsWindow(hwnd)); // the close waited for the dialog
    EXPECT_TRUE(PumpUntil([this] { return !::IsWindow(hwnd); }, 5000));
}

TEST_F(TrayTest, AWallpaperAppliedWhileSettingsIsOpenIsTheLastOneAfterwards)
{
    StartChanger();
    Command(ID_TRAY_NEXT);
    ASSERT_TRUE(WaitIdle());
    // The double click on the icon still works while the dialog is open.
    DialogAnswerer cancel("Murlavo Settings", [this](HWND dlg) {
        ::SendMessageA(hwnd, WM_TRAYNOTIFY, kTrayIconId, WM_LBUTTONDBLCLK);
        EXPECT_TRUE(WaitIdle());
        ::PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    Command(ID_TRAY_SETTINGS);
    EXPECT_EQ(cancel.Answered(), 1);
    EXPECT_EQ(g_settings.m_strLastWallpaper, dir + "\\dog.bmp");
    EXPECT_EQ(g_settings.m_strTempImage, WallpaperFile());
}

TEST_F(TrayTest, SettingsOkAfterRemovingThePlaylistPlaysTheNewOneFromItsStart)
{
    StartChanger();
    Command(ID_TRAY_NEXT);
    ASSERT_TRUE(WaitIdle());
    const int32_t changed = g_settings.m_timeLastChange;
    // The Now Playing "Animals" (selected when the dialog opens) is deleted, "Lake" is set.
    DialogAnswerer ok("Murlavo Settings", [](HWND dlg) {
        HWND tree = ::GetDlgItem(dlg, IDC_LIBRARY_TREE);
        ::SendMessageA(tree, WM_KEYDOWN, VK_DELETE, 0);
        TreeView_SelectItem(tree, TreeView_GetChild(tree, TreeView_GetRoot(tree)));
        ::SendMessageA(::GetDlgItem(dlg, IDC_SET_NOW_PLAYING), BM_CLICK, 0, 0);
        ::PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
    Command(ID_TRAY_SETTINGS);
    EXPECT_EQ(ok.Answered(), 1);
    EXPECT_EQ(ShowList(), "one.bmp;");
    EXPECT_EQ(window->Changer().NextWallpaperIndex(), 0);
    EXPECT_EQ(window->Changer().Current(), nullptr);
    // The changer's own path and rotation, not the stored ones the dialog read.
    EXPECT_EQ(g_settings.m_strTempImage, WallpaperFile());
    EXPECT_EQ(g_settings.m_timeLastChange, changed);
    std::string stored;
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, std::string(kProfileKey) + "\\Changer", "TempImage", &stored));
    EXPECT_EQ(stored, "C:\\stale\\old.bmp"); // the dialog does not write it

    Command(ID_TRAY_NEXT);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(g_settings.m_strLastWallpaper, dir + "\\one.bmp");
    EXPECT_EQ(ReadWholeFile(WallpaperFile()).substr(0, 2), "BM");
}

TEST_F(TrayTest, ListReplacedDuringASlowPreparationAppliesThePictureItHad)
{
    static HANDLE inside = nullptr, release = nullptr;
    inside = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CPictureImage::s_pfnScaleRowDone = [](int32_t) {
        if (::WaitForSingleObject(inside, 0) == WAIT_OBJECT_0)
            return;
        ::SetEvent(inside);
        ::WaitForSingleObject(release, 20000);
    };
    ASSERT_TRUE(app.WriteProfileInt("Changer", "FitToScreen", 1));
    g_settings.m_bFitToScreen = 1;
    StartChanger();
    window->ChangeNow();
    ASSERT_TRUE(window->Preparation().Busy());
    ASSERT_EQ(::WaitForSingleObject(inside, 20000), WAIT_OBJECT_0);
    // The list goes while the thread scales "cat.bmp"; the message comes after the dialog.
    DialogAnswerer ok("Murlavo Settings", [](HWND dlg) {
        HWND tree = ::GetDlgItem(dlg, IDC_LIBRARY_TREE);
        ::SendMessageA(tree, WM_KEYDOWN, VK_DELETE, 0);
        ::PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
    Command(ID_TRAY_SETTINGS);
    EXPECT_EQ(ShowList(), "");
    EXPECT_TRUE(window->Preparation().Busy());
    ::SetEvent(release);
    EXPECT_TRUE(WaitIdle());
    EXPECT_EQ(g_settings.m_strLastWallpaper, dir + "\\cat.bmp");
    std::string wallpaper;
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, "Control Panel\\Desktop", "Wallpaper", &wallpaper));
    EXPECT_EQ(wallpaper, WallpaperFile());
    ::CloseHandle(inside);
    ::CloseHandle(release);
}

// The show started while a wallpaper is being prepared: the background at once and at every
// exposure meanwhile, the wallpaper still applied, and the first slide as soon as it ended (no
// tick comes in this test).
TEST_F(TrayTest, AShowStartedDuringAWallpaperPreparationPaintsAtOnceAndStartsWhenItEnds)
{
    static HANDLE inside = nullptr, release = nullptr;
    inside = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CPictureImage::s_pfnScaleRowDone = [](int32_t) {
        if (::WaitForSingleObject(inside, 0) == WAIT_OBJECT_0)
            return;
        ::SetEvent(inside);
        ::WaitForSingleObject(release, 20000);
    };
    ASSERT_TRUE(app.WriteProfileInt("Changer", "FitToScreen", 1));
    g_settings.m_bFitToScreen = 1;
    g_settings.m_nSlideShow = 3600;
    g_settings.m_crBkgndColor = RGB(0, 128, 255);
    StartChanger();
    window->ChangeNow();
    ASSERT_TRUE(window->Preparation().Busy());
    ASSERT_EQ(::WaitForSingleObject(inside, 20000), WAIT_OBJECT_0);
    Command(ID_TRAY_SHOW); // while the thread scales "cat.bmp" for the desktop
    EXPECT_EQ(window->m_bShowMode, 1);
    const int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
    auto everywhere = [&](COLORREF colour) {
        return ScreenPixel(0, 0) == colour && ScreenPixel(sw / 2, sh / 2) == colour && ScreenPixel(sw - 1, sh - 1) == colour;
    };
    EXPECT_TRUE(PumpUntil([&] { return everywhere(RGB(0, 128, 255)); }, 10000));
    g_settings.m_crBkgndColor = RGB(255, 0, 128);
    ::InvalidateRect(hwnd, nullptr, TRUE);
    EXPECT_TRUE(PumpUntil([&] { return everywhere(RGB(255, 0, 128)); }, 10000));
    EXPECT_TRUE(window->Preparation().Busy());

    g_settings.m_strLastWallpaper.clear();
    ::SetEvent(release);
    EXPECT_TRUE(PumpUntil([&] { return g_settings.m_strLastWallpaper == dir + "\\cat.bmp"; }, 20000));
    EXPECT_EQ(window->Changer().NextSlideIndex(), 1);
    // The slide fills the screen (4:3, fitted).
    EXPECT_TRUE(PumpUntil([&] { return !window->Preparation().Busy() && ScreenPixel(sw / 2, sh / 2) != RGB(255, 0, 128); },
                          20000));
    ::SendMessageA(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    ::CloseHandle(inside);
    ::CloseHandle(release);
}

TEST_F(TrayTest, HelpOpensTheHtmlPageElseTheDocumentBelowTheInstallation)
{
    StartChanger();
    const std::string install = ScratchDir("tray-install") + "\\";
    ASSERT_TRUE(::CreateDirectoryA((install + "help").c_str(), nullptr));
    g_settings.m_strInstallDir = install;
    Command(ID_TRAY_HELP);
    EXPECT_EQ(g_shellOpened, (std::vector<std::string> {install + "help\\mainpage.htm", install + "help\\readme.doc"}));

    FILE* fp = fopen((install + "help\\mainpage.htm").c_str(), "wb");
    ASSERT_NE(fp, nullptr);
    fclose(fp);
    g_shellOpened.clear();
    Command(ID_TRAY_HELP);
    EXPECT_EQ(g_shellOpened, (std::vector<std::string> {install + "help\\mainpage.htm"}));

    // Without an installation directory: the program's own folder, where the build puts help.
    g_settings.m_strInstallDir.clear();
    g_shellOpened.clear();
    Command(ID_TRAY_HELP);
    ASSERT_FALSE(g_shellOpened.empty());
    EXPECT_EQ(g_shellOpened[0], ExeDir() + "\\help\\mainpage.htm");
}

// The help documents below an installation folder whose name the ANSI code page cannot hold.
TEST_F(TrayTest, HelpOpensTheHtmlPageBelowAnInstallationFolderOfAnyName)
{
    StartChanger();
    const std::string install = ScratchDir("tray-install") + "\\" + kJapaneseFolder + "\\";
    ASSERT_TRUE(MakeWideFolder(install));
    ASSERT_TRUE(MakeWideFolder(install + "help"));
    std::FILE* fp = OpenFileStream((install + "help\\mainpage.htm").c_str(), "wb");
    ASSERT_NE(fp, nullptr);
    std::fclose(fp);
    g_settings.m_strInstallDir = install;
    Command(ID_TRAY_HELP);
    EXPECT_EQ(g_shellOpened, (std::vector<std::string> {install + "help\\mainpage.htm"}));
    DeleteWideTree(install);
}

// The full-screen show plays pictures whose names the ANSI code page cannot hold, and one more
// than 300 characters deep.
TEST_F(TrayTest, FullScreenShowPlaysPicturesOfAnyNameAndDepth)
{
    const std::string root = dir + "\\" + kJapaneseFolder;
    DeleteWideTree(root);
    ASSERT_TRUE(MakeWideFolder(root));
    const std::string deep = MakeDeepFolder(root, 300);
    ASSERT_FALSE(deep.empty());
    const std::string pictures[] = {deep + "\\" + kSunsetName + ".bmp", root + "\\" + kPolishFolder + ".jpg",
                                    root + "\\" + kRussianFolder + ".tga"};
    ASSERT_TRUE(CopyFileTo(Picture("plain.bmp", 1), pictures[0]));
    ASSERT_TRUE(CopyFileTo(Picture("plain.jpg", 2), pictures[1]));
    ASSERT_TRUE(CopyFileTo(Picture("plain.tga", 3), pictures[2]));
    ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(pictures[0]), PictureRecord(pictures[1]), PictureRecord(pictures[2])}));
    g_bShowRole = false;
    window = new CShowWnd;
    ASSERT_TRUE(window->CreateHidden());
    hwnd = window->m_hWnd;
    Command(ID_TRAY_SHOW);
    for (const std::string& picture : pictures) {
        SCOPED_TRACE(picture);
        ASSERT_TRUE(WaitIdle());
        EXPECT_TRUE(window->m_bLoaded);
        EXPECT_EQ(window->Preparation().Record().m_strPath, picture);
        window->ChangeNow();
    }
    // The bitmap's pixels on the screen, centred at its own size.
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(window->Preparation().Record().m_strPath, pictures[0]);
    ::UpdateWindow(hwnd);
    const int left = (::GetSystemMetrics(SM_CXSCREEN) - 40) / 2, top = (::GetSystemMetrics(SM_CYSCREEN) - 30) / 2;
    for (int y : {0, 29})
        for (int x : {0, 39}) {
            unsigned char bgr[3];
            PatternPixel(x, 29 - y, 1, bgr);
            EXPECT_EQ(ScreenPixel(left + x, top + y), RGB(bgr[2], bgr[1], bgr[0])) << x << "," << y;
        }
    ::SendMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    DeleteWideTree(root);
}

TEST_F(TrayTest, TheIconComesBackWhenTheShellRestarts)
{
    StartChanger();
    EXPECT_EQ(g_iconCalls, (std::vector<DWORD> {NIM_ADD}));
    EXPECT_EQ(g_iconTip, L"Next change within a minute"); // no change made yet
    ::SendMessageA(hwnd, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_EQ(g_iconCalls, (std::vector<DWORD> {NIM_ADD, NIM_ADD}));
    // A show window without an icon (the preview, the saver) adds none.
    g_bShowRole = true;
    CShowWnd* preview = new CShowWnd;
    RECT rect {0, 0, 40, 30};
    ASSERT_TRUE(preview->CreateAsChild(rect, hwnd));
    ::SendMessageA(preview->m_hWnd, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_EQ(g_iconCalls.size(), 2u);
}

TEST_F(TrayTest, TheIconIsTriedAgainWhileTheTaskbarIsNotReady)
{
    using Calls = std::vector<DWORD>;
    CTrayIcon::s_dwRetryMs = 20;
    // At logon: two attempts refused (add, then update), the third taken.
    g_iconRefusals = 4;
    StartChanger();
    EXPECT_TRUE(PumpUntil([] { return g_iconCalls.size() == 5; }, 10000));
    EXPECT_EQ(g_iconCalls, (Calls {NIM_ADD, NIM_MODIFY, NIM_ADD, NIM_MODIFY, NIM_ADD}));
    EXPECT_FALSE(::KillTimer(hwnd, kTrayRetryTimerId)); // no attempt after that

    // An add refused because the shell has the icon already: it is updated.
    g_iconCalls.clear();
    g_iconRefusals = 1;
    ::SendMessageA(hwnd, CTrayIcon::TaskbarCreatedMessage(), 0, 0);
    EXPECT_EQ(g_iconCalls, (Calls {NIM_ADD, NIM_MODIFY}));
    EXPECT_FALSE(::KillTimer(hwnd, kTrayRetryTimerId));

    // A taskbar that never takes it: a bounded number of attempts, and more when it restarts.
    g_iconCalls.clear();
    g_iconRefusals = 1000;
    ::SendMessageA(hwnd, CTrayIcon::TaskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(PumpUntil([] { return g_iconCalls.size() == 2u * (CTrayIcon::kMaxRetries + 1); }, 20000));
    EXPECT_FALSE(::KillTimer(hwnd, kTrayRetryTimerId));
    g_iconCalls.clear();
    g_iconRefusals = 0;
    ::SendMessageA(hwnd, CTrayIcon::TaskbarCreatedMessage(), 0, 0);
    EXPECT_EQ(g_iconCalls, (Calls {NIM_ADD}));
}

// The notification area asks for 16 pixels at 100 % up to 32 at 200 %, the shell for more.
TEST(TrayIconArt, TheIconHasAnImageDrawnForEachSizeAsked)
{
    HRSRC group = ::FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_MAINFRAME), MAKEINTRESOURCEA(14)); // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    auto* directory = static_cast<BYTE*>(::LockResource(::LoadResource(nullptr, group)));
    ASSERT_NE(directory, nullptr);
    for (int size : {16, 20, 24, 32, 48}) {
        const int id = ::LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
        HRSRC image = ::FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(3)); // RT_ICON
        ASSERT_NE(image, nullptr) << size;
        const auto* header = static_cast<const BITMAPINFOHEADER*>(::LockResource(::LoadResource(nullptr, image)));
        EXPECT_EQ(header->biWidth, size);
    }
}

// The icon is loaded at the small-icon size of its monitor's scale, in that monitor's pixels.
TEST(TrayIconArt, TheIconIsLoadedAtTheSmallIconSizeOfTheMonitorsScale)
{
    const int system = ::GetSystemMetrics(SM_CXSMICON);
    EXPECT_EQ(CTrayIcon::IconSize(dpi::SystemDpi()), system);
    for (UINT scale : {96u, 120u, 144u, 192u, 288u}) {
        SCOPED_TRACE(scale);
        const int size = CTrayIcon::IconSize(scale);
        EXPECT_EQ(size, ::MulDiv(system, int(scale), int(dpi::SystemDpi())));
        CIconHandle icon(CTrayIcon::LoadIconForDpi(scale));
        ASSERT_TRUE(icon);
        ICONINFO info {};
        ASSERT_TRUE(::GetIconInfo(icon.Get(), &info));
        CBitmapHandle colour(info.hbmColor), mask(info.hbmMask);
        BITMAP bitmap {};
        ASSERT_TRUE(::GetObjectA(colour ? colour.Get() : mask.Get(), sizeof bitmap, &bitmap));
        EXPECT_EQ(bitmap.bmWidth, size);
        EXPECT_EQ(bitmap.bmHeight, colour ? size : 2 * size);
    }
}

TEST_F(TrayTest, SettingsSavedByAnotherProcessReachTheChanger)
{
    StartChanger();
    Command(ID_TRAY_NEXT);
    ASSERT_TRUE(WaitIdle());
    const int32_t changed = g_settings.m_timeLastChange;
    // What Settings in another process stored: hourly, "Lake" now playing, and the rotation
    // state it had read when it opened.
    ASSERT_TRUE(app.WriteProfileInt("Changer", "Interval", 60));
    ASSERT_TRUE(app.WriteProfileInt("Changer", "LastChange", 5));
    ASSERT_TRUE(app.WriteProfileString("Changer", "LastWallpaper", "C:\\elsewhere.bmp"));
    CWallpaperObject animals("Animals", 0), lake("Lake", 0);
    CWallpaperObject cat(dir + "\\cat.bmp", 1), dog(dir + "\\dog.bmp", 1), one(dir + "\\one.bmp", 1);
    ASSERT_TRUE(SaveLibraryFile(LibraryPath().c_str(),
        {{&animals, false}, {&cat, false}, {&dog, false}, {&lake, true}, {&one, false}}, 1));

    ::PostMessageA(hwnd, ::RegisterWindowMessageA(kSettingsChangedMessage), 0, 0);
    HandlePostedMessages();
    EXPECT_EQ(ShowList(), "one.bmp;");
    EXPECT_EQ(g_settings.m_nInterval, 60);
    // As after the changer's own Settings: the new list from its first picture, the changer's
    // own wallpaper path and rotation state.
    EXPECT_EQ(window->Changer().NextWallpaperIndex(), 0);
    EXPECT_EQ(window->Changer().WallpaperPath(), WallpaperFile());
    EXPECT_EQ(g_settings.m_strTempImage, WallpaperFile());
    EXPECT_EQ(g_settings.m_timeLastChange, changed);
    EXPECT_EQ(g_settings.m_strLastWallpaper, dir + "\\cat.bmp");
}

// Logoff or shutdown may end the process right after WM_ENDSESSION, without WM_DESTROY.
TEST_F(TrayTest, SessionEndLeavesWhatTheNormalEndLeavesAndTheWindowStays)
{
    static HANDLE ended = nullptr;
    ended = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CPreparationWorker::s_pfnPreparationEnded = [] { ::SetEvent(ended); };
    StartChanger();
    const std::string changer = std::string(kProfileKey) + "\\Changer";
    EXPECT_EQ(::SendMessageA(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    ::SendMessageA(hwnd, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF); // cancelled: nothing happens
    std::string stored;
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, changer, "TempImage", &stored));
    EXPECT_EQ(stored, "C:\\stale\\old.bmp");

    // The wallpaper is written, its message still queued, when the session ends.
    window->ChangeNow();
    ASSERT_EQ(::WaitForSingleObject(ended, 20000), WAIT_OBJECT_0);
    ::SendMessageA(hwnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(g_settings.m_strLastWallpaper, dir + "\\cat.bmp");
    std::string wallpaper;
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, "Control Panel\\Desktop", "Wallpaper", &wallpaper));
    EXPECT_EQ(wallpaper, WallpaperFile());
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, changer, "TempImage", &stored));
    EXPECT_EQ(stored, WallpaperFile());
    EXPECT_EQ(g_iconCalls, (std::vector<DWORD> {NIM_ADD, NIM_MODIFY, NIM_DELETE}));
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_FALSE(::KillTimer(hwnd, kShowTimerId)); // nothing new starts
    ::CloseHandle(ended);
}

// The help documents shipped beside the program: the page, and the document a word processor
// opens (a rich-text file), which says the same.
TEST(HelpDocuments, TheDocumentIsRichTextWithThePagesSections)
{
    const std::string page = ReadWholeFile(ExeDir() + "\\help\\mainpage.htm");
    const std::string document = ReadWholeFile(ExeDir() + "\\help\\readme.doc");
    ASSERT_FALSE(page.empty());
    ASSERT_EQ(document.substr(0, 6), "{\\rtf1");

    HMODULE riched = ::LoadLibraryA("riched20.dll");
    ASSERT_NE(riched, nullptr);
    HWND edit = ::CreateWindowExA(0, RICHEDIT_CLASSA, "", ES_MULTILINE, 0, 0, 400, 300, nullptr, nullptr, nullptr,
                                  nullptr);
    ASSERT_NE(edit, nullptr);
    struct Reader {
        const std::string* text;
        size_t at;
        static DWORD CALLBACK Read(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* read)
        {
            auto* self = reinterpret_cast<Reader*>(cookie);
            const size_t n = std::min<size_t>(size, self->text->size() - self->at);
            std::memcpy(buffer, self->text->data() + self->at, n);
            self->at += n;
            *read = static_cast<LONG>(n);
            return 0;
        }
    } reader {&document, 0};
    EDITSTREAM stream {reinterpret_cast<DWORD_PTR>(&reader), 0, Reader::Read};
    ::SendMessageA(edit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    EXPECT_EQ(stream.dwError, 0u);
    std::string text(::GetWindowTextLengthA(edit) + 1, '\0');
    text.resize(::GetWindowTextA(edit, &text[0], static_cast<int>(text.size())));
    ::DestroyWindow(edit);
    ::FreeLibrary(riched);
    EXPECT_EQ(text.find("{\\"), std::string::npos) << "RTF control words shown as text";
    for (const char* heading : {"What Murlavo does", "The notification icon", "The Settings dialog", "Options",
             "Where your library lives", "Installing", "Troubleshooting", "%APPDATA%\\Murlavo\\Murlavo.ini",
             "When the changer waits", "murlavo.exe /pause"}) {
        EXPECT_NE(page.find(heading), std::string::npos) << heading;
        EXPECT_NE(text.find(heading), std::string::npos) << heading;
    }
}

// "Pa&use" and the command line's /pause and /resume: no timed change while paused, asked-for
// changes still happen; the pause is stored at once and the tooltip says so.
TEST_F(TrayTest, PauseHoldsTimedChangesOnlyAndIsStored)
{
    StartChanger();
    Command(ID_CHANGER_PAUSE);
    EXPECT_EQ(g_settings.m_bPaused, 1);
    DWORD stored = 0;
    ASSERT_TRUE(ReadRegDword(HKEY_CURRENT_USER, std::string(kProfileKey) + "\\Changer", "Paused", &stored));
    EXPECT_EQ(stored, 1u);
    EXPECT_EQ(g_iconTip, L"Murlavo \u2014 paused");
    // The interval has passed (no change yet): the minute's tick changes nothing.
    ::SendMessageA(hwnd, WM_TIMER, kShowTimerId, 0);
    EXPECT_FALSE(window->Preparation().Busy());
    EXPECT_EQ(g_settings.m_strLastWallpaper, "");
    Command(ID_TRAY_NEXT);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(g_settings.m_strLastWallpaper, dir + "\\cat.bmp");
    // The menu's item turns it off again; then the tick changes once the interval has passed.
    Command(ID_TRAY_PAUSE);
    EXPECT_EQ(g_settings.m_bPaused, 0);
    ASSERT_TRUE(ReadRegDword(HKEY_CURRENT_USER, std::string(kProfileKey) + "\\Changer", "Paused", &stored));
    EXPECT_EQ(stored, 0u);
    EXPECT_NE(g_iconTip.find(L"cat.bmp\nNext change at "), std::wstring::npos);
    g_settings.m_timeLastChange = 0;
    ::SendMessageA(hwnd, WM_TIMER, kShowTimerId, 0);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(g_settings.m_strLastWallpaper, dir + "\\dog.bmp");
    Command(ID_CHANGER_RESUME); // resuming what runs changes nothing
    EXPECT_EQ(g_settings.m_bPaused, 0);
}

namespace {
SystemState g_fakeState;
SystemState FakeState(bool away)
{
    SystemState state = g_fakeState;
    state.sessionAway = state.sessionAway || away;
    return state;
}
} // namespace

// A full-screen program in the foreground holds the timed change; when it is gone, the change
// that fell due comes once, within seconds, by the window's own short timer. A locked session
// holds it too until it is unlocked. Asked-for changes never wait.
TEST_F(TrayTest, HeldTimedChangesComeOnceWhenTheHoldEnds)
{
    g_fakeState = SystemState();
    g_fakeState.fullScreenForeground = true;
    g_pfnReadSystemState = FakeState;
    StartChanger();
    ::SendMessageA(hwnd, WM_TIMER, kShowTimerId, 0);
    EXPECT_FALSE(window->Preparation().Busy());
    EXPECT_EQ(g_settings.m_strLastWallpaper, "");
    g_fakeState.fullScreenForeground = false;
    EXPECT_TRUE(PumpUntil([] { return !g_settings.m_strLastWallpaper.empty(); }, 10000));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(g_settings.m_strLastWallpaper, dir + "\\cat.bmp");
    // Once: the short timer is gone, and the next change waits for its interval.
    EXPECT_FALSE(::KillTimer(hwnd, kHoldTimerId));
    EXPECT_FALSE(window->Changer().ChangeDue());

    // Locked: the due tick waits; Next does not; unlocking brings the held one.
    ::SendMessageA(hwnd, WM_WTSSESSION_CHANGE, 7 /* lock */, 0);
    g_settings.m_timeLastChange = 0;
    ::SendMessageA(hwnd, WM_TIMER, kShowTimerId, 0);
    EXPECT_FALSE(window->Preparation().Busy());
    Command(ID_TRAY_NEXT);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(g_settings.m_strLastWallpaper, dir + "\\dog.bmp");
    g_settings.m_timeLastChange = 0;
    ::SendMessageA(hwnd, WM_TIMER, kShowTimerId, 0);
    EXPECT_FALSE(window->Preparation().Busy());
    ::SendMessageA(hwnd, WM_WTSSESSION_CHANGE, 8 /* unlock */, 0);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(g_settings.m_strLastWallpaper, dir + "\\cat.bmp"); // the list is cat, dog
    g_pfnReadSystemState = ReadSystemState;
}
